#pragma once

#include <span>

#include "sim/model/event.h"

namespace veltrano::sim {

// Receives the instrument's events as simulated time passes (an acquisition, a
// count-rate meter, an analysis). Called with the instrument's lock held: it
// must not call back into the Instrument.
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void onEvents(std::span<const Event> events) = 0;
};

}  // namespace veltrano::sim
