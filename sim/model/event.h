#pragma once

#include <cstdint>

namespace veltrano::sim {

// One detection as the TDC reports it.
struct Event {
    std::int64_t time_ps;  // time tag since the time base was reset
    std::int32_t channel;  // 1-based
    std::int32_t width_ps; // pulse width (time over threshold)
    float energy_kev;      // energy deposited by the pulse
};

}  // namespace veltrano::sim
