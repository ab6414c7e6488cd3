#include "sim/model/sources/event_source.h"

#include <cmath>
#include <random>

namespace veltrano::sim {

EmittedEvent EventSource::detection(std::int64_t arrivalPs, int channel, const ChannelConditions& conditions,
                                    const PulseSampler& pulses, SourceEngine& rng) {
    Event e{};
    e.channel = channel;
    e.widthPs = pulses.width(rng);
    e.energyKev = pulses.energy(rng);
    e.timePs = arrivalPs + conditions.interDelayPs + (conditions.fallingEdge ? e.widthPs : 0);
    return EmittedEvent{e, id_, sequence_++};
}

std::int64_t EventSource::poissonGapPs(SourceEngine& rng, double rateHz) {
    std::exponential_distribution<double> dist(rateHz);
    return std::llround(dist(rng) * 1e12);
}

bool EventSource::detects(SourceEngine& rng, const ChannelConditions& conditions) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double u = unit(rng);  // drawn always, so toggling a channel keeps the stream aligned
    return conditions.enabled && u < conditions.efficiency;
}

}  // namespace veltrano::sim
