#include "sim/model/analyses/period_analysis.h"

#include <algorithm>
#include <cmath>

namespace veltrano::sim {

PeriodAnalysis::PeriodAnalysis(const PeriodSettings& settings) : settings_(settings) {}

void PeriodAnalysis::onEvent(const Event& event, std::int64_t timePs) {
    if (event.channel != settings_.channel || !event.clockTick) return;
    const std::optional<std::int64_t> last = lastTickPs_;
    lastTickPs_ = timePs;
    if (!last || timePs <= *last) return;
    const std::int64_t gapPs = timePs - *last;
    const std::int64_t cycles =
        cyclePs_ > 0 ? std::max<std::int64_t>(1, std::llround(static_cast<double>(gapPs) / cyclePs_)) : 1;
    cyclePs_ = static_cast<double>(gapPs) / static_cast<double>(cycles);

    if (raw_.size() < kMaxKeptPeriodPoints) {
        raw_.push_back({static_cast<double>(cycleIndex_), static_cast<double>(gapPs)});
    }
    histogram_.add(gapPs);
    const double y = 1.0 / (cyclePs_ * 1e-12 * settings_.fnomHz) - 1.0;
    for (std::int64_t i = 0; i < cycles && frequency_.size() < kMaxStabilityCycles; ++i) frequency_.push_back(y);
    cycleIndex_ += cycles;
}

void PeriodAnalysis::clear() {
    histogram_.clear();
    raw_.clear();
    frequency_.clear();
}

PointList PeriodAnalysis::takeRawPoints() {
    PointList out;
    out.swap(raw_);
    return out;
}

StabilityInput PeriodAnalysis::stabilityInput() const {
    return StabilityInput{frequency_, 1.0 / settings_.fnomHz,
                          averagingFactors(settings_.decades, settings_.decadePoints)};
}

PointList stabilityMetric(const StabilityInput& input, StabilityMetric metric) {
    const std::vector<double> phase = phaseFromFrequency(input.fractionalFrequency, input.tau0S);
    return stabilityCurve(metric, phase, input.tau0S, input.factors);
}

}  // namespace veltrano::sim
