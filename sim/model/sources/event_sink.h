#pragma once

#include <cstdint>
#include <limits>
#include <span>

#include "sim/model/sources/event.h"

namespace veltrano::sim {

// historyNeededPs() of a sink that must see every event.
inline constexpr std::int64_t kEveryEvent = std::numeric_limits<std::int64_t>::max();

// Receives the instrument's events as simulated time passes (an acquisition, a
// count-rate meter, an analysis). Every call is made with the instrument's lock
// held: a sink must not call back into the Instrument.
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void onEvents(std::span<const Event> events) = 0;
    // After each batch (also an empty one): every event tagged below
    // completeBeforePs has now been delivered.
    virtual void onProgress(std::int64_t /*complete_before_ps*/) {}
    // The time base restarted at 0 ("tdc_resetn", an acquisition start); it had
    // reached previousTimeBasePs. Later tags count from 0 again.
    virtual void onTimeBaseRestart(std::int64_t /*previous_time_base_ps*/) {}
    // The signal tagged in [fromPs, toPs) was skipped, never produced: nobody
    // needed it when the instrument caught up after a pause.
    virtual void onSkipped(std::int64_t /*from_ps*/, std::int64_t /*to_ps*/) {}
    // How much signal before "now" the sink needs when the instrument catches up
    // after a pause: kEveryEvent keeps every event (and makes the instrument
    // generate in the background), 0 needs nothing from the past.
    virtual std::int64_t historyNeededPs() const { return kEveryEvent; }
};

}  // namespace veltrano::sim
