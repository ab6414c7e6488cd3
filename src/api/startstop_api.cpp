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

CI_API int ci_startstop_analysis(uint64_t handle, int duration, const CHAN_GROUP* groups, int group_count,
                                 const DUAL_STOPS_GROUP* dual_groups, int dual_count, int coins_time_window,
                                 uint8_t enable_t3_data, const char* folder_path, const char* file_name) {
    if (!startArgumentsValid(handle, duration, groups != nullptr && group_count > 0, coins_time_window)) {
        return -1;
    }
    const StartStopOptions options{duration, coins_time_window, enable_t3_data, folder_path, file_name};
    return startWithGroups(handle, "Start-stop analysis", options, [&](StartStopGroups& result) {
        return vel::analysis::groupsFromStructs(groups, group_count, dual_groups, dual_count, result);
    });
}

CI_API int ci_startstop_analysis_json(uint64_t handle, int duration, const char* chan_groups_json,
                                      const char* dualstops_groups_json, int coins_time_window, uint8_t enable_t3_data,
                                      const char* folder_path, const char* file_name) {
    const bool groupsGiven = chan_groups_json != nullptr && chan_groups_json[0] != '\0';
    if (!startArgumentsValid(handle, duration, groupsGiven, coins_time_window)) {
        return -1;
    }
    const StartStopOptions options{duration, coins_time_window, enable_t3_data, folder_path, file_name};
    return startWithGroups(handle, "Start-stop analysis json", options, [&](StartStopGroups& result) {
        return vel::analysis::groupsFromJson(chan_groups_json, dualstops_groups_json, result);
    });
}

CI_API int64_t* ci_fetch_startstop_processdata(uint64_t handle, int start_chan, int stop_chan, int* count) {
    return vel::withArrayFetch<int64_t>(handle, count, [&](InstInstance& session) {
        return vel::analysis::fetchIntegerPairs(
            session.context,
            {{"cmd", "fetch_startstop_processdata"}, {"start_chan", start_chan}, {"stop_chan", stop_chan}}, count,
            "Fetch analysis process data failed for start-stop analysis", "Fetch start-stop process data");
    });
}

CI_API int64_t* ci_fetch_startstop_average_processdata(uint64_t handle, int start_chan, int* count) {
    return vel::withArrayFetch<int64_t>(handle, count, [&](InstInstance& session) {
        return vel::analysis::fetchIntegerPairs(
            session.context, {{"cmd", "fetch_startstop_average_processdata"}, {"start_chan", start_chan}}, count,
            "Fetch analysis average process data failed for start-stop analysis",
            "Fetch start-stop average process data");
    });
}

CI_API int64_t* ci_fetch_startstop_dualstops_rawdata(uint64_t handle, int start_chan, int* count, int timeout_ms) {
    return vel::withArrayFetch<int64_t>(handle, count, [&](InstInstance& session) {
        return vel::analysis::fetchDualStopPairs(session.context, session.analysis, start_chan, count, timeout_ms);
    });
}

}  // extern "C"
