#include "sim/model/sources/emitter_source.h"

#include <cmath>

namespace veltrano::sim {

EmitterSource::EmitterSource(std::uint32_t id, const EmitterConfig& config, const PulseConfig& pulse,
                             std::uint64_t seed)
    : EventSource(id), config_(config), pulses_(pulse), rng_(makeSourceEngine(seed, id)) {}

std::int64_t EmitterSource::gapPs() {
    std::exponential_distribution<double> excitation(config_.excitationRateHz);
    const double decayPs =
        config_.lifetimePs > 0 ? std::exponential_distribution<double>(1.0 / config_.lifetimePs)(rng_) : 0.0;
    return std::llround(excitation(rng_) * 1e12 + decayPs);
}

void EmitterSource::emit(std::int64_t fromPs, std::int64_t toPs, std::span<const ChannelConditions> channels,
                         std::vector<EmittedEvent>& out) {
    if (config_.excitationRateHz <= 0) return;
    if (config_.channel < 1 || config_.channel > static_cast<int>(channels.size())) return;
    const ChannelConditions& conditions = channels[config_.channel - 1];
    if (nextPs_ < fromPs) nextPs_ = fromPs + gapPs();
    while (nextPs_ < toPs) {
        // Every draw happens whether or not the emission is seen, so the stream stays aligned.
        const bool seen = detects(rng_, conditions);
        EmittedEvent event = detection(nextPs_, config_.channel, conditions, pulses_, rng_);
        if (seen) out.push_back(event);
        nextPs_ += gapPs();
    }
}

void EmitterSource::skipTo(std::int64_t) { nextPs_ = -1; }

}  // namespace veltrano::sim
