#include "sim/model/sources/background_source.h"

namespace veltrano::sim {

BackgroundSource::BackgroundSource(std::uint32_t id, int channel, const PulseConfig& pulse, std::uint64_t seed)
    : EventSource(id), channel_(channel), pulses_(pulse), rng_(makeSourceEngine(seed, id)) {}

void BackgroundSource::emit(std::int64_t fromPs, std::int64_t toPs, std::span<const ChannelConditions> channels,
                            std::vector<EmittedEvent>& out) {
    if (channel_ < 1 || channel_ > static_cast<int>(channels.size())) return;
    const ChannelConditions& conditions = channels[channel_ - 1];
    const double rate = conditions.backgroundRateHz;
    if (rate != rateInUseHz_ || restart_) {
        rateInUseHz_ = rate;
        restart_ = false;
        nextPs_ = rate > 0 ? fromPs + poissonGapPs(rng_, rate) : kNeverPs;
    }
    while (nextPs_ < toPs) {
        out.push_back(detection(nextPs_, channel_, conditions, pulses_, rng_));
        nextPs_ += poissonGapPs(rng_, rate);
    }
}

void BackgroundSource::skipTo(std::int64_t) { restart_ = true; }

}  // namespace veltrano::sim
