#include "sim/model/analyses/period_analysis.h"

#include <algorithm>
#include <cmath>

namespace veltrano::sim {

PeriodAnalysis::PeriodAnalysis(const PeriodSettings& settings) : settings_(settings) {}

void PeriodAnalysis::onEvent(const Event& event, std::int64_t time_ps) {
    if (event.channel != settings_.channel || !event.clock_tick) return;
    const std::optional<std::int64_t> last = last_tick_ps_;
    last_tick_ps_ = time_ps;
    if (!last || time_ps <= *last) return;
    const std::int64_t gap_ps = time_ps - *last;
    const std::int64_t cycles =
        cycle_ps_ > 0 ? std::max<std::int64_t>(1, std::llround(static_cast<double>(gap_ps) / cycle_ps_)) : 1;
    cycle_ps_ = static_cast<double>(gap_ps) / static_cast<double>(cycles);

    if (raw_.size() < kMaxKeptPeriodPoints) {
        raw_.push_back({static_cast<double>(cycle_index_), static_cast<double>(gap_ps)});
    }
    histogram_.add(gap_ps);
    const double y = 1.0 / (cycle_ps_ * 1e-12 * settings_.fnom_hz) - 1.0;
    for (std::int64_t i = 0; i < cycles && frequency_.size() < kMaxStabilityCycles; ++i) frequency_.push_back(y);
    cycle_index_ += cycles;
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
    return StabilityInput{frequency_, 1.0 / settings_.fnom_hz,
                          averagingFactors(settings_.decades, settings_.decade_points)};
}

PointList stabilityMetric(const StabilityInput& input, StabilityMetric metric) {
    const std::vector<double> phase = phaseFromFrequency(input.fractional_frequency, input.tau0_s);
    return stabilityCurve(metric, phase, input.tau0_s, input.factors);
}

}  // namespace veltrano::sim
