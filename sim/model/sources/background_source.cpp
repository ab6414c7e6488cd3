#include "sim/model/sources/background_source.h"

namespace veltrano::sim {

BackgroundSource::BackgroundSource(std::uint32_t id, int channel, const PulseConfig& pulse, std::uint64_t seed)
    : EventSource(id), channel_(channel), pulses_(pulse), rng_(makeSourceEngine(seed, id)) {}

void BackgroundSource::emit(std::int64_t from_ps, std::int64_t to_ps, std::span<const ChannelConditions> channels,
                            std::vector<EmittedEvent>& out) {
    if (channel_ < 1 || channel_ > static_cast<int>(channels.size())) return;
    const ChannelConditions& conditions = channels[channel_ - 1];
    const double rate = conditions.background_rate_hz;
    if (rate != rate_in_use_hz_ || restart_) {
        rate_in_use_hz_ = rate;
        restart_ = false;
        next_ps_ = rate > 0 ? from_ps + poissonGapPs(rng_, rate) : kNeverPs;
    }
    while (next_ps_ < to_ps) {
        out.push_back(detection(next_ps_, channel_, conditions, pulses_, rng_));
        next_ps_ += poissonGapPs(rng_, rate);
    }
}

void BackgroundSource::skipTo(std::int64_t) { restart_ = true; }

}  // namespace veltrano::sim
