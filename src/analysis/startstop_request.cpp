#include "analysis/startstop_request.h"

#include "core/string_utils.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace vel::analysis {

namespace {

static_assert(sizeof(int) == sizeof(int32_t), "start channel keys are read as int");

using nlohmann::json;

void addDualStartChannel(StartStopGroups& result, int32_t startChan) {
    // A start channel named twice is still fetched and written once per cycle.
    auto& channels = result.dualStartChannels;
    if (std::find(channels.begin(), channels.end(), startChan) == channels.end()) {
        channels.push_back(startChan);
    }
}

// A channel number in JSON: a number (fractions truncated toward zero) or a
// boolean (0 or 1) within int32.
int32_t channelOfElement(const json& element) {
    if (element.is_boolean()) {
        return element.get<bool>() ? 1 : 0;
    }
    if (element.is_number_integer()) {
        if (element.is_number_unsigned()) {
            const auto value = element.get<uint64_t>();
            if (value <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
                return static_cast<int32_t>(value);
            }
        } else {
            const auto value = element.get<int64_t>();
            if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max()) {
                return static_cast<int32_t>(value);
            }
        }
        throw std::out_of_range("channel " + element.dump() + " is out of the int range");
    }
    if (element.is_number_float()) {
        const double value = element.get<double>();
        // Truncation keeps every value in (min - 1, max + 1).
        if (value > static_cast<double>(std::numeric_limits<int32_t>::min()) - 1.0 &&
            value < static_cast<double>(std::numeric_limits<int32_t>::max()) + 1.0) {
            return static_cast<int32_t>(value);
        }
        throw std::out_of_range("channel " + element.dump() + " is out of the int range");
    }
    throw std::invalid_argument("channel " + element.dump() + " is not a number");
}

json parseObject(const char* text, const char* what) {
    json value = json::parse(ksq::CStringUtils::safe_string(text));
    if (!value.is_object()) {
        throw std::invalid_argument(std::string(what) + " must be a JSON object");
    }
    return value;
}

}  // namespace

int32_t startChannelOfKey(const std::string& key) {
    try {
        return static_cast<int32_t>(std::stoi(key));
    } catch (const std::invalid_argument&) {
        throw std::invalid_argument("start channel key \"" + key + "\" has no digits");
    } catch (const std::out_of_range&) {
        throw std::out_of_range("start channel key \"" + key + "\" is out of the int range");
    }
}

std::string groupsFromStructs(const CHAN_GROUP* groups, int groupCount, const DUAL_STOPS_GROUP* dualGroups,
                              int dualCount, StartStopGroups& result) {
    for (int i = 0; i < groupCount; ++i) {
        const CHAN_GROUP& group = groups[i];
        if (group.chan_count > 0 && group.stop_chans == nullptr) {
            return "Invalid chan group: stop_chans is null but chan_count > 0";
        }
        std::vector<int32_t> stops;
        if (group.chan_count > 0) {
            stops.assign(group.stop_chans, group.stop_chans + group.chan_count);
        }
        result.chanGroups[std::to_string(group.start_chan)] = stops;
        result.stopChannels[group.start_chan] = std::move(stops);
    }
    if (dualCount > 0 && dualGroups == nullptr) {
        return "Invalid dual stops groups: dual_groups is null but dual_count > 0";
    }
    for (int i = 0; i < dualCount; ++i) {
        const DUAL_STOPS_GROUP& dual = dualGroups[i];
        result.dualStopsGroups[std::to_string(dual.start_chan)] = {dual.x_stop_chan, dual.y_stop_chan};
        addDualStartChannel(result, dual.start_chan);
    }
    return {};
}

std::string groupsFromJson(const char* chanGroupsJson, const char* dualStopsGroupsJson, StartStopGroups& result) {
    try {
        result.chanGroups = parseObject(chanGroupsJson, "chan_groups_json");
        for (const auto& member : result.chanGroups.items()) {
            const int32_t startChan = startChannelOfKey(member.key());
            if (!member.value().is_array()) {
                throw std::invalid_argument("stop channels of start_chan " + member.key() + " are not an array");
            }
            std::vector<int32_t> stops;
            stops.reserve(member.value().size());
            for (const json& element : member.value()) {
                stops.push_back(channelOfElement(element));
            }
            result.stopChannels[startChan] = std::move(stops);
        }
    } catch (const std::exception& e) {
        return std::string("Parse chan_groups_json failed: ") + e.what();
    }

    try {
        result.dualStopsGroups = parseObject(dualStopsGroupsJson, "dualstops_groups_json");
        for (const auto& member : result.dualStopsGroups.items()) {
            const int32_t startChan = startChannelOfKey(member.key());
            const json& pair = member.value();
            if (!pair.is_array() || pair.size() != 2) {
                return "Invalid dual_stops_groups entry for start_chan: " + member.key();
            }
            channelOfElement(pair[0]);
            channelOfElement(pair[1]);
            addDualStartChannel(result, startChan);
        }
    } catch (const std::exception& e) {
        return std::string("Parse dualstops_groups_json failed: ") + e.what();
    }
    return {};
}

}  // namespace vel::analysis
