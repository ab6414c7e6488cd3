#include "sim/model/sources/emitter_source.h"

#include <cmath>

namespace veltrano::sim {

EmitterSource::EmitterSource(std::uint32_t id, const EmitterConfig& config, const PulseConfig& pulse,
                             std::uint64_t seed)
    : EventSource(id), config_(config), pulses_(pulse), rng_(makeSourceEngine(seed, id)) {}

std::int64_t EmitterSource::gapPs() {
    std::exponential_distribution<double> excitation(config_.excitation_rate_hz);
    const double decay_ps =
        config_.lifetime_ps > 0 ? std::exponential_distribution<double>(1.0 / config_.lifetime_ps)(rng_) : 0.0;
    return std::llround(excitation(rng_) * 1e12 + decay_ps);
}

void EmitterSource::emit(std::int64_t from_ps, std::int64_t to_ps, std::span<const ChannelConditions> channels,
                         std::vector<EmittedEvent>& out) {
    if (config_.excitation_rate_hz <= 0) return;
    if (config_.channel < 1 || config_.channel > static_cast<int>(channels.size())) return;
    const ChannelConditions& conditions = channels[config_.channel - 1];
    if (next_ps_ < from_ps) next_ps_ = from_ps + gapPs();
    while (next_ps_ < to_ps) {
        // Every draw happens whether or not the emission is seen, so the stream stays aligned.
        const bool seen = detects(rng_, conditions);
        EmittedEvent event = detection(next_ps_, config_.channel, conditions, pulses_, rng_);
        if (seen) out.push_back(event);
        next_ps_ += gapPs();
    }
}

void EmitterSource::skipTo(std::int64_t) { next_ps_ = -1; }

}  // namespace veltrano::sim
