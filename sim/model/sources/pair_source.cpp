#include "sim/model/sources/pair_source.h"

#include <algorithm>
#include <cmath>

namespace veltrano::sim {

PairSource::PairSource(std::uint32_t id, const PairSourceConfig& config, const PulseConfig& pulse,
                       std::uint64_t seed)
    : EventSource(id), config_(config), pulses_(pulse), rng_(makeSourceEngine(seed, id)) {}

void PairSource::emit(std::int64_t from_ps, std::int64_t to_ps, std::span<const ChannelConditions> channels,
                      std::vector<EmittedEvent>& out) {
    if (config_.rate_hz <= 0) return;
    const int count = static_cast<int>(channels.size());
    const bool a_exists = config_.channel_a >= 1 && config_.channel_a <= count;
    const bool b_exists = config_.channel_b >= 1 && config_.channel_b <= count;
    if (next_ps_ < from_ps) next_ps_ = from_ps + poissonGapPs(rng_, config_.rate_hz);
    const ChannelConditions off{false, 0.0, 0.0, 0, 0, false};
    const ChannelConditions& a = a_exists ? channels[config_.channel_a - 1] : off;
    const ChannelConditions& b = b_exists ? channels[config_.channel_b - 1] : off;
    while (next_ps_ < to_ps) {
        const std::int64_t t = next_ps_;
        // Every random draw happens whatever the channels do, so the stream stays aligned.
        const bool seen_a = detects(rng_, a);
        EmittedEvent event_a = detection(t, config_.channel_a, a, pulses_, rng_);
        const bool seen_b = detects(rng_, b);
        const double offset = config_.delay_ps + clampedNormal(rng_, config_.jitter_ps);
        EmittedEvent event_b = detection(t + std::llround(offset), config_.channel_b, b, pulses_, rng_);
        if (seen_a) out.push_back(event_a);
        if (seen_b) out.push_back(event_b);
        next_ps_ += poissonGapPs(rng_, config_.rate_hz);
    }
}

std::int64_t PairSource::maxLeadPs() const {
    const double earliest = config_.delay_ps - kJitterClampSigmas * std::max(config_.jitter_ps, 0.0);
    return earliest < 0 ? static_cast<std::int64_t>(std::ceil(-earliest)) + 1 : 0;
}

void PairSource::skipTo(std::int64_t) { next_ps_ = -1; }

}  // namespace veltrano::sim
