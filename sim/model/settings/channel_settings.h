#pragma once

#include <array>
#include <cstdint>

#include "sim/model/common/value_range.h"

namespace veltrano::sim {

// The integer settings of one input channel.
enum class ChannelSetting {
    Termination,         // 0 = 50 ohm, 1 = high impedance
    Hysteresis,          // comparator hysteresis step
    InterDelay,          // ps added to every time tag of the channel
    DeadTime,            // ps after an accepted event during which the channel is blind
    EdgeType,            // 0 = tag the rising edge, 1 = tag the falling edge
    AdIntegrationPoint,  // samples integrated for a pulse area on the A/D path
};
inline constexpr int kChannelSettingCount = 6;

// Discriminator threshold limits in volts; pulses are compared by magnitude.
inline constexpr double kDacMinV = -1.5;
inline constexpr double kDacMaxV = 1.5;
inline constexpr double kDefaultDacV = 0.1;

IntRange channelSettingRange(ChannelSetting setting);
std::int32_t channelSettingDefault(ChannelSetting setting);

struct ChannelSettings {
    double dacV = kDefaultDacV;
    bool enabled = true;
    std::array<std::int32_t, kChannelSettingCount> values{};

    std::int32_t get(ChannelSetting s) const { return values[static_cast<int>(s)]; }
    void set(ChannelSetting s, std::int32_t v) { values[static_cast<int>(s)] = v; }

    static ChannelSettings defaults();
};

}  // namespace veltrano::sim
