#pragma once
// The channel groups of a start-stop start, in the two forms callers give
// them (C structures or JSON texts), turned into the request members
// "chan_groups" and "dual_stops_groups" plus what the library keeps for
// itself: the stop channels per start channel (for the saver) and the
// dual-stop start channels (for the recording thread).

#include <veltranoapi/veltranoapi.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace vel::analysis {

using ChanGroupMap = std::unordered_map<int32_t, std::vector<int32_t>>;

struct StartStopGroups {
    nlohmann::json chanGroups = nlohmann::json::object();
    nlohmann::json dualStopsGroups = nlohmann::json::object();
    ChanGroupMap stopChannels;
    std::vector<int32_t> dualStartChannels;
};

// From the C structures. Returns the empty string, or the message to log when
// a group or the dual-stop array cannot be read (then groups is incomplete).
// A later group with the same start channel replaces an earlier one.
std::string groupsFromStructs(const CHAN_GROUP* groups, int groupCount, const DUAL_STOPS_GROUP* dualGroups,
                              int dualCount, StartStopGroups& result);

// From the JSON texts (null counts as empty; an empty text is a syntax error).
// Returns the empty string or the message to log.
std::string groupsFromJson(const char* chanGroupsJson, const char* dualStopsGroupsJson, StartStopGroups& result);

// A member key as a start channel, read like std::stoi: leading white space
// and a sign allowed, trailing characters ignored. Throws std::invalid_argument
// for a key without digits and std::out_of_range beyond int32.
int32_t startChannelOfKey(const std::string& key);

}  // namespace vel::analysis
