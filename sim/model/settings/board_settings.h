#pragma once

#include <array>
#include <cstdint>

#include "sim/model/common/value_range.h"

namespace veltrano::sim {

// Board-wide integer settings.
enum class BoardSetting {
    TdcClockSource,     // 0 = internal reference, 1 = external reference
    DataMode,           // 0..3
    TestMode,           // 0 = off, 1 = on
    TestDataBandwidth,  // MB/s of generated test data
    BoardId,            // identifier of the board in a stack
    CoinsTimeWindow,    // ps
    AdAreaScale,        // divisor applied to A/D pulse areas
    AcqType,            // 0..3
    OutputGateType,     // 0..3
    GateDelay,          // ps
};
inline constexpr int kBoardSettingCount = 10;

IntRange boardSettingRange(BoardSetting setting);
std::int32_t boardSettingDefault(BoardSetting setting);

struct BoardSettings {
    std::array<std::int32_t, kBoardSettingCount> values{};

    std::int32_t get(BoardSetting s) const { return values[static_cast<int>(s)]; }
    void set(BoardSetting s, std::int32_t v) { values[static_cast<int>(s)] = v; }

    static BoardSettings defaults();
};

}  // namespace veltrano::sim
