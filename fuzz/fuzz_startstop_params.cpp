// The JSON channel groups of a start-stop start: the input is the channel
// groups text, a NUL byte and the dual-stops text. Both must be read or
// refused with a message, never crash; what is read must be sendable.

#include "analysis/startstop_request.h"
#include "net/frame.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t separator = input.find('\0');
    const std::string chanGroups = input.substr(0, separator);
    const std::string dualStops = separator == std::string::npos ? std::string() : input.substr(separator + 1);

    vel::analysis::StartStopGroups groups;
    const std::string message = vel::analysis::groupsFromJson(chanGroups.c_str(), dualStops.c_str(), groups);
    if (!message.empty()) return 0;

    if (groups.stopChannels.size() > groups.chanGroups.size()) std::abort();
    if (groups.dualStartChannels.size() > groups.dualStopsGroups.size()) std::abort();
    const nlohmann::json request{{"cmd", "startstop_analysis"},
                                 {"chan_groups", groups.chanGroups},
                                 {"dual_stops_groups", groups.dualStopsGroups}};
    (void)vel::frame::encodeRequest(request);
    return 0;
}
