// The time-of-flight analysis: its start, the g2 cross-correlation that may be
// configured while it runs, and the fetch of the g2 curve.

#include <veltranoapi/veltranoapi.h>

#include "analysis/analysis_starts.h"
#include "analysis/point_list_fetch.h"
#include "api/export_boundary.h"
#include "core/string_utils.h"

using namespace vel::analysis;

extern "C" {

CI_API int ci_tof_analysis(uint64_t handle, int duration, int ch1, int ch2, int coinsTimeWindow, uint8_t enableT3Data,
                           int avgTimes, const char* folderPath, const char* fileName) {
    if (duration <= 0) {
        return -1;
    }
    const TimeOfFlightRun run{duration, ch1, ch2, coinsTimeWindow, enableT3Data, avgTimes};
    return vel::withSession(handle, -1, "Tof analysis", [&](InstInstance& session) {
        return startTimeOfFlight(session.context, session.analysis, run, ksq::CStringUtils::safe_string(folderPath),
                                 ksq::CStringUtils::safe_string(fileName));
    });
}

CI_API int ci_set_cross_correlation_config(uint64_t handle, int virtualTwin, int binWidth, int dcr1, int dcr2) {
    return vel::withSession(handle, -1, "Set cross correlation config", [&](InstInstance& session) {
        return configureCrossCorrelation(session.context, session.analysis, virtualTwin, binWidth, dcr1, dcr2);
    });
}

CI_API double* ci_fetch_cross_correlation_data(uint64_t handle, int* count) {
    return vel::withArrayFetch<double>(handle, count, [&](InstInstance& session) {
        return fetchDoublePairs(session.context, "fetch_cross_correlation_data", count);
    });
}

}  // extern "C"
