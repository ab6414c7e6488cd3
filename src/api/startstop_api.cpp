// Start-stop analysis: the two starts, the processed-data fetches and the
// memory-mode dual-stop fetch. The stop is one of the analysis stop exports.

#include <veltranoapi/veltranoapi.h>

#include "analysis/point_list_fetch.h"
#include "analysis/startstop_fetch.h"
#include "analysis/startstop_request.h"
#include "analysis/startstop_start.h"
#include "api/export_boundary.h"

namespace {

using vel::analysis::StartStopGroups;
using vel::analysis::StartStopOptions;

// The argument checks both starts make before they look at any group.
bool startArgumentsValid(uint64_t handle, int duration, bool groupsGiven, int coinsTimeWindow) noexcept {
    if (duration <= 0) {
        return false;
    }
    if (!groupsGiven) {
        vel::logError(handle, "Please specify channel groups");
        return false;
    }
    if (coinsTimeWindow <= 0) {
        vel::logError(handle, "Invalid coins time window");
        return false;
    }
    return true;
}

template <class ReadGroups>
int startWithGroups(uint64_t handle, const char* operation, const StartStopOptions& options,
                    ReadGroups&& readGroups) noexcept {
    return vel::withSession(handle, -1, operation, [&](InstInstance& session) {
        StartStopGroups groups;
        const std::string message = readGroups(groups);
        if (!message.empty()) {
            session.context.logError(message);
            return -1;
        }
        return vel::analysis::startStartStopAnalysis(session.context, session.analysis, std::move(groups), options);
    });
}

}  // namespace

extern "C" {

CI_API int ci_startstop_analysis(uint64_t handle, int duration, const CHAN_GROUP* groups, int groupCount,
                                 const DUAL_STOPS_GROUP* dualGroups, int dualCount, int coinsTimeWindow,
                                 uint8_t enableT3Data, const char* folderPath, const char* fileName) {
    if (!startArgumentsValid(handle, duration, groups != nullptr && groupCount > 0, coinsTimeWindow)) {
        return -1;
    }
    const StartStopOptions options{duration, coinsTimeWindow, enableT3Data, folderPath, fileName};
    return startWithGroups(handle, "Start-stop analysis", options, [&](StartStopGroups& result) {
        return vel::analysis::groupsFromStructs(groups, groupCount, dualGroups, dualCount, result);
    });
}

CI_API int ci_startstop_analysis_json(uint64_t handle, int duration, const char* chanGroupsJson,
                                      const char* dualstopsGroupsJson, int coinsTimeWindow, uint8_t enableT3Data,
                                      const char* folderPath, const char* fileName) {
    const bool groupsGiven = chanGroupsJson != nullptr && chanGroupsJson[0] != '\0';
    if (!startArgumentsValid(handle, duration, groupsGiven, coinsTimeWindow)) {
        return -1;
    }
    const StartStopOptions options{duration, coinsTimeWindow, enableT3Data, folderPath, fileName};
    return startWithGroups(handle, "Start-stop analysis json", options, [&](StartStopGroups& result) {
        return vel::analysis::groupsFromJson(chanGroupsJson, dualstopsGroupsJson, result);
    });
}

CI_API int64_t* ci_fetch_startstop_processdata(uint64_t handle, int startChan, int stopChan, int* count) {
    return vel::withArrayFetch<int64_t>(handle, count, [&](InstInstance& session) {
        return vel::analysis::fetchIntegerPairs(
            session.context,
            {{"cmd", "fetch_startstop_processdata"}, {"start_chan", startChan}, {"stop_chan", stopChan}}, count,
            "Fetch analysis process data failed for start-stop analysis", "Fetch start-stop process data");
    });
}

CI_API int64_t* ci_fetch_startstop_average_processdata(uint64_t handle, int startChan, int* count) {
    return vel::withArrayFetch<int64_t>(handle, count, [&](InstInstance& session) {
        return vel::analysis::fetchIntegerPairs(
            session.context, {{"cmd", "fetch_startstop_average_processdata"}, {"start_chan", startChan}}, count,
            "Fetch analysis average process data failed for start-stop analysis",
            "Fetch start-stop average process data");
    });
}

CI_API int64_t* ci_fetch_startstop_dualstops_rawdata(uint64_t handle, int startChan, int* count, int timeoutMs) {
    return vel::withArrayFetch<int64_t>(handle, count, [&](InstInstance& session) {
        return vel::analysis::fetchDualStopPairs(session.context, session.analysis, startChan, count, timeoutMs);
    });
}

}  // extern "C"
