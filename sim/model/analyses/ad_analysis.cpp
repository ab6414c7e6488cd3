#include "sim/model/analyses/ad_analysis.h"

#include <algorithm>

#include "sim/model/sources/adc_pulse.h"

namespace veltrano::sim {

void AdAnalysis::onEvent(const Event& event, std::int64_t timePs) {
    if (event.channel != settings_.channel || timePs < busyUntilPs_) return;
    const std::int64_t first = (timePs + kAdcSamplePs - 1) / kAdcSamplePs;
    const int n = settings_.integrationPoints;
    busyUntilPs_ = (first + n) * kAdcSamplePs;
    if (samples_.size() + static_cast<std::size_t>(n) > kMaxKeptAdSamples) {
        ++droppedPulses_;
        return;
    }
    for (int k = 0; k < n; ++k) {
        samples_.push_back({static_cast<double>(first + k), static_cast<double>(adcSample(event.energyKev, k))});
    }
}

PointList AdAnalysis::takeRawPoints() {
    const auto n = static_cast<std::size_t>(std::clamp<std::int64_t>(settings_.samplingNum, 0, kMaxKeptAdSamples));
    const auto end = samples_.begin() + static_cast<std::ptrdiff_t>(std::min(n, samples_.size()));
    PointList out(samples_.begin(), end);
    samples_.erase(samples_.begin(), end);
    return out;
}

}  // namespace veltrano::sim
