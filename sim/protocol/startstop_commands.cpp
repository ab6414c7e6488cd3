#include <algorithm>
#include <charconv>

#include "sim/model/analyses/analysis_records.h"
#include "sim/model/analyses/startstop_analysis.h"
#include "sim/protocol/analysis_support.h"
#include "sim/protocol/command_catalogue.h"

namespace veltrano::sim {
namespace {

// A member name of "chan_groups" or "dual_stops_groups": a channel in decimal.
int channelFromName(const std::string& name, const std::string& key, const CommandContext& context) {
    std::int64_t channel = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), channel);
    if (error != std::errc() || end != name.data() + name.size()) {
        throw ProtocolError(ResultCode::BadParameter, "\"" + key + "\" member names must be channel numbers");
    }
    return channelValue(Json(channel), "\"" + key + "\" member \"" + name + "\"", context);
}

StartStopGroup& groupOf(std::vector<StartStopGroup>& groups, int startChannel) {
    const auto it = std::find_if(groups.begin(), groups.end(),
                                 [startChannel](const StartStopGroup& g) { return g.startChannel == startChannel; });
    if (it != groups.end()) return *it;
    groups.push_back(StartStopGroup{startChannel, {}, std::nullopt});
    return groups.back();
}

std::vector<StartStopGroup> readGroups(const Request& request, const CommandContext& context) {
    std::vector<StartStopGroup> groups;
    const Json& chanGroups = request.object("chan_groups");
    if (chanGroups.empty()) throw ProtocolError(ResultCode::ValueOutOfRange, "\"chan_groups\" names no start channel");
    for (const auto& [name, stops] : chanGroups.items()) {
        const std::string what = "\"chan_groups\" member \"" + name + "\"";
        StartStopGroup& group = groupOf(groups, channelFromName(name, "chan_groups", context));
        if (!stops.is_array()) throw ProtocolError(ResultCode::BadParameter, what + " must be an array");
        for (const Json& stop : stops) {
            const int channel = channelValue(stop, what, context);
            if (std::find(group.stopChannels.begin(), group.stopChannels.end(), channel) == group.stopChannels.end()) {
                group.stopChannels.push_back(channel);
            }
        }
    }
    if (!request.has("dual_stops_groups")) return groups;
    for (const auto& [name, pair] : request.object("dual_stops_groups").items()) {
        const std::string what = "\"dual_stops_groups\" member \"" + name + "\"";
        StartStopGroup& group = groupOf(groups, channelFromName(name, "dual_stops_groups", context));
        if (!pair.is_array() || pair.size() != 2) {
            throw ProtocolError(ResultCode::BadParameter, what + " must be [x stop channel, y stop channel]");
        }
        group.dualStops = std::make_pair(channelValue(pair[0], what, context), channelValue(pair[1], what, context));
    }
    return groups;
}

Reply startStartStop(const Request& request, CommandContext& context) {
    const AnalysisStart start = readAnalysisStart(request);
    StartStopSettings settings;
    settings.groups = readGroups(request, context);
    settings.windowPs = windowKey(request, "coins_time_window");
    const bool keepT3 = request.integer("enable_t3_data", 0) == 1;
    std::unique_ptr<RecordStore> t3 = keepT3 ? recordStoreFor(context.instrument.dataDir(), start, "_t3.bin", kT3RecordBytes) : nullptr;
    context.instrument.startAnalysis(std::make_unique<StartStopAnalysis>(std::move(settings), std::move(t3)),
                                     start.durationS);
    return okReply();
}

// A channel number as the fetches name it; numbers no channel can have become -1.
int asChannel(std::int64_t number) { return number >= 0 && number <= 0x7FFF ? static_cast<int>(number) : -1; }

// Answers what f makes of the held start-stop run; an empty list without one.
template <class F>
Reply fromStartStop(CommandContext& context, F&& f) {
    context.instrument.advanceSignal();
    return pointListReply(context.instrument.analyses().withRun<StartStopAnalysis>(f).value_or(PointList{}));
}

}  // namespace

void registerStartStopCommands(CommandTable& table) {
    table.add("startstop_analysis", startStartStop);
    table.add("fetch_startstop_processdata", [](const Request& request, CommandContext& context) {
        const std::int64_t start = request.integer("start_chan");
        const std::int64_t stop = request.integer("stop_chan");
        return fromStartStop(context, [&](const StartStopAnalysis& run) {
            return run.histogram(asChannel(start),
                                 asChannel(stop));
        });
    });
    table.add("fetch_startstop_average_processdata", [](const Request& request, CommandContext& context) {
        const std::int64_t start = request.integer("start_chan");
        return fromStartStop(context, [&](const StartStopAnalysis& run) {
            return run.average(asChannel(start));
        });
    });
    table.add("fetch_startstop_dualstops_rawdata", [](const Request& request, CommandContext& context) {
        const std::int64_t start = request.integer("start_chan");
        return fromStartStop(context, [&](StartStopAnalysis& run) {
            return run.takeDualPairs(asChannel(start));
        });
    });
}

}  // namespace veltrano::sim
