#include "sim/model/sources/pair_source.h"

#include <algorithm>
#include <cmath>

namespace veltrano::sim {

PairSource::PairSource(std::uint32_t id, const PairSourceConfig& config, const PulseConfig& pulse,
                       std::uint64_t seed)
    : EventSource(id), config_(config), pulses_(pulse), rng_(makeSourceEngine(seed, id)) {}

void PairSource::emit(std::int64_t fromPs, std::int64_t toPs, std::span<const ChannelConditions> channels,
                      std::vector<EmittedEvent>& out) {
    if (config_.rateHz <= 0) return;
    const int count = static_cast<int>(channels.size());
    const bool aExists = config_.channelA >= 1 && config_.channelA <= count;
    const bool bExists = config_.channelB >= 1 && config_.channelB <= count;
    if (nextPs_ < fromPs) nextPs_ = fromPs + poissonGapPs(rng_, config_.rateHz);
    const ChannelConditions off{false, 0.0, 0.0, 0, 0, false};
    const ChannelConditions& a = aExists ? channels[config_.channelA - 1] : off;
    const ChannelConditions& b = bExists ? channels[config_.channelB - 1] : off;
    while (nextPs_ < toPs) {
        const std::int64_t t = nextPs_;
        // Every random draw happens whatever the channels do, so the stream stays aligned.
        const bool seenA = detects(rng_, a);
        EmittedEvent eventA = detection(t, config_.channelA, a, pulses_, rng_);
        const bool seenB = detects(rng_, b);
        const double offset = config_.delayPs + clampedNormal(rng_, config_.jitterPs);
        EmittedEvent eventB = detection(t + std::llround(offset), config_.channelB, b, pulses_, rng_);
        if (seenA) out.push_back(eventA);
        if (seenB) out.push_back(eventB);
        nextPs_ += poissonGapPs(rng_, config_.rateHz);
    }
}

std::int64_t PairSource::maxLeadPs() const {
    const double earliest = config_.delayPs - kJitterClampSigmas * std::max(config_.jitterPs, 0.0);
    return earliest < 0 ? static_cast<std::int64_t>(std::ceil(-earliest)) + 1 : 0;
}

void PairSource::skipTo(std::int64_t) { nextPs_ = -1; }

}  // namespace veltrano::sim
