#include <cstdio>

#include "sim/protocol/command_catalogue.h"
#include "sim/protocol/handler_support.h"

namespace veltrano::sim {
namespace {

struct ChannelCommandPair {
    const char* set;
    const char* get;
    ChannelSetting setting;
};

constexpr ChannelCommandPair kIntegerSettings[] = {
    {"set_term", "get_term", ChannelSetting::Termination},
    {"set_hts", "get_hts", ChannelSetting::Hysteresis},
    {"set_interdelay", "get_interdelay", ChannelSetting::InterDelay},
    {"set_deadtime", "get_deadtime", ChannelSetting::DeadTime},
    {"set_edgetype", "get_edgetype", ChannelSetting::EdgeType},
    {"set_adp", "get_adp", ChannelSetting::AdIntegrationPoint},
};

std::string dacRule() {
    char text[48];
    std::snprintf(text, sizeof text, "%g..%g V", kDacMinV, kDacMaxV);
    return text;
}

}  // namespace

void registerChannelCommands(CommandTable& table) {
    for (const ChannelCommandPair& pair : kIntegerSettings) {
        const ChannelSetting setting = pair.setting;
        table.add(pair.set, [setting](const Request& request, CommandContext& context) {
            const int channel = request.channel();
            const std::int64_t value = request.integer("value");
            return statusReply(context.instrument.setChannelSetting(channel, setting, value), context,
                               rangeText(channelSettingRange(setting)));
        });
        table.add(pair.get, [setting](const Request& request, CommandContext& context) {
            return valueOrError(context.instrument.channelSetting(request.channel(), setting), context);
        });
    }

    table.add("set_dac", [](const Request& request, CommandContext& context) {
        const int channel = request.channel();
        const double volts = request.number("value");
        return statusReply(context.instrument.setDac(channel, volts), context, dacRule());
    });
    table.add("get_dac", [](const Request& request, CommandContext& context) {
        return valueOrError(context.instrument.dac(request.channel()), context);
    });

    table.add("enable_channel", [](const Request& request, CommandContext& context) {
        return statusReply(context.instrument.setChannelEnabled(request.channel(), true), context);
    });
    table.add("disable_channel", [](const Request& request, CommandContext& context) {
        return statusReply(context.instrument.setChannelEnabled(request.channel(), false), context);
    });
    table.add("is_channel_enabled", [](const Request& request, CommandContext& context) {
        return valueOrError(context.instrument.channelEnabled(request.channel()), context);
    });
    table.add("enable_all_channels", [](const Request&, CommandContext& context) {
        context.instrument.setAllChannelsEnabled(true);
        return okReply();
    });
    table.add("disable_all_channels", [](const Request&, CommandContext& context) {
        context.instrument.setAllChannelsEnabled(false);
        return okReply();
    });
}

}  // namespace veltrano::sim
