#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "sim/model/sources/detection.h"
#include "sim/model/sources/event.h"
#include "sim/model/sources/pulse_sampler.h"

namespace veltrano::sim {

inline constexpr std::int64_t kNeverPs = std::numeric_limits<std::int64_t>::max();

// A detection before the channel's dead time is applied. source and sequence
// make the order of equal time tags independent of how time was sliced.
struct EmittedEvent {
    Event event;
    std::uint32_t source;
    std::uint64_t sequence;
};

// Something that produces detections on one or more channels.
class EventSource {
public:
    explicit EventSource(std::uint32_t id) : id_(id) {}
    virtual ~EventSource() = default;

    // Appends the detections of the emissions in [fromPs, toPs). Successive
    // calls cover consecutive intervals.
    virtual void emit(std::int64_t fromPs, std::int64_t toPs, std::span<const ChannelConditions> channels,
                      std::vector<EmittedEvent>& out) = 0;
    // How far (ps) a tag may lie before its emission time at most.
    virtual std::int64_t maxLeadPs() const { return 0; }
    // Drops everything before tPs; the next emissions lie at or after it.
    virtual void skipTo(std::int64_t tPs) = 0;

protected:
    // Builds the detection of a pulse reaching `channel` (1-based) at `arrivalPs`,
    // with the channel's inter delay and edge applied.
    EmittedEvent detection(std::int64_t arrivalPs, int channel, const ChannelConditions& conditions,
                           const PulseSampler& pulses, SourceEngine& rng);
    // A recorded event as this source's detection (its order among equal tags fixed).
    EmittedEvent stamped(const Event& event) { return EmittedEvent{event, id_, sequence_++}; }
    // Exponential waiting time for a Poisson process of `rate_hz`, in whole ps.
    static std::int64_t poissonGapPs(SourceEngine& rng, double rateHz);
    // True with the channel's probability of seeing a pulse (its efficiency when enabled).
    static bool detects(SourceEngine& rng, const ChannelConditions& conditions);

private:
    std::uint32_t id_;
    std::uint64_t sequence_ = 0;
};

}  // namespace veltrano::sim
