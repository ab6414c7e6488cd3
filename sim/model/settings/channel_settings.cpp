#include "sim/model/settings/channel_settings.h"

namespace veltrano::sim {

IntRange channelSettingRange(ChannelSetting setting) {
    switch (setting) {
        case ChannelSetting::Termination: return {0, 1};
        case ChannelSetting::Hysteresis: return {0, 7};
        case ChannelSetting::InterDelay: return {0, 1'000'000};
        case ChannelSetting::DeadTime: return {0, 1'000'000'000};
        case ChannelSetting::EdgeType: return {0, 1};
        case ChannelSetting::AdIntegrationPoint: return {1, 1024};
    }
    return {0, 0};
}

std::int32_t channelSettingDefault(ChannelSetting setting) {
    switch (setting) {
        case ChannelSetting::Termination: return 0;
        case ChannelSetting::Hysteresis: return 1;
        case ChannelSetting::InterDelay: return 0;
        case ChannelSetting::DeadTime: return 10'000;
        case ChannelSetting::EdgeType: return 0;
        case ChannelSetting::AdIntegrationPoint: return 64;
    }
    return 0;
}

ChannelSettings ChannelSettings::defaults() {
    ChannelSettings s;
    for (int i = 0; i < kChannelSettingCount; ++i) {
        s.values[i] = channelSettingDefault(static_cast<ChannelSetting>(i));
    }
    return s;
}

}  // namespace veltrano::sim
