// The time-of-flight analysis: its start, the g2 cross-correlation that may be
// configured while it runs, and the fetch of the g2 curve.

#include <veltranoapi/veltranoapi.h>

#include "analysis/analysis_starts.h"
#include "analysis/point_list_fetch.h"
#include "api/export_boundary.h"
#include "core/string_utils.h"

using namespace vel::analysis;

extern "C" {

CI_API int ci_tof_analysis(uint64_t handle, int duration, int ch1, int ch2, int coins_time_window,
                           uint8_t enable_t3_data, int avg_times, const char* folder_path, const char* file_name) {
    if (duration <= 0) {
        return -1;
    }
    const TimeOfFlightRun run{duration, ch1, ch2, coins_time_window, enable_t3_data, avg_times};
    return vel::withSession(handle, -1, "Tof analysis", [&](InstInstance& session) {
        return startTimeOfFlight(session.context, session.analysis, run, ksq::CStringUtils::safe_string(folder_path),
                                 ksq::CStringUtils::safe_string(file_name));
    });
}

CI_API int ci_set_cross_correlation_config(uint64_t handle, int virtual_twin, int bin_width, int dcr1, int dcr2) {
    return vel::withSession(handle, -1, "Set cross correlation config", [&](InstInstance& session) {
        return configureCrossCorrelation(session.context, session.analysis, virtual_twin, bin_width, dcr1, dcr2);
    });
}

CI_API double* ci_fetch_cross_correlation_data(uint64_t handle, int* count) {
    return vel::withArrayFetch<double>(handle, count, [&](InstInstance& session) {
        return fetchDoublePairs(session.context, "fetch_cross_correlation_data", count);
    });
}

}  // extern "C"
