#include "sim/model/settings/board_settings.h"

namespace veltrano::sim {

IntRange boardSettingRange(BoardSetting setting) {
    switch (setting) {
        case BoardSetting::TdcClockSource: return {0, 1};
        case BoardSetting::DataMode: return {0, 3};
        case BoardSetting::TestMode: return {0, 1};
        case BoardSetting::TestDataBandwidth: return {0, 1000};
        case BoardSetting::BoardId: return {0, 255};
        case BoardSetting::CoinsTimeWindow: return {1, 1'000'000'000};
        case BoardSetting::AdAreaScale: return {1, 65535};
        case BoardSetting::AcqType: return {0, 3};
        case BoardSetting::OutputGateType: return {0, 3};
        case BoardSetting::GateDelay: return {0, 1'000'000'000};
    }
    return {0, 0};
}

std::int32_t boardSettingDefault(BoardSetting setting) {
    switch (setting) {
        case BoardSetting::TestDataBandwidth: return 100;
        case BoardSetting::CoinsTimeWindow: return 1000;
        case BoardSetting::AdAreaScale: return 1;
        default: return 0;
    }
}

BoardSettings BoardSettings::defaults() {
    BoardSettings b;
    for (int i = 0; i < kBoardSettingCount; ++i) {
        b.values[i] = boardSettingDefault(static_cast<BoardSetting>(i));
    }
    return b;
}

}  // namespace veltrano::sim
