#pragma once

#include <cstdint>

namespace veltrano::sim {

// One detection as the TDC reports it.
struct Event {
    std::int64_t timePs;  // time tag since the time base was reset
    std::int32_t channel;  // 1-based
    std::int32_t widthPs; // pulse width (time over threshold)
    float energyKev;      // energy deposited by the pulse
    // A tick of the clock source. Not part of any record: the period analysis
    // follows the clock's cycles with it, as a period counter's input
    // conditioning would, so dark counts on the clock channel end no cycle.
    bool clockTick = false;
};

}  // namespace veltrano::sim
