// The coincidence-gated energy analysis of two A/D channels and the fetches
// of its two energy spectra.

#include <veltranoapi/veltranoapi.h>

#include "analysis/analysis_starts.h"
#include "analysis/point_list_fetch.h"
#include "api/export_boundary.h"
#include "core/string_utils.h"

using namespace vel::analysis;

extern "C" {

CI_API int ci_conform_es_analysis(uint64_t handle, int duration, int ch1, int ch2, int ad_integration_point,
                                  int area_scale, int energy_window_min1, int energy_window_max1,
                                  int energy_window_min2, int energy_window_max2, int coins_time_window, int avg_times,
                                  const char* folder_path, const char* file_name) {
    if (duration <= 0) {
        return -1;
    }
    const ConformEsRun run{duration,
                           ch1,
                           ch2,
                           ad_integration_point,
                           area_scale,
                           energy_window_min1,
                           energy_window_max1,
                           energy_window_min2,
                           energy_window_max2,
                           coins_time_window,
                           avg_times};
    if (const char* problem = checkConformEsRun(run)) {
        vel::logError(handle, problem);
        return -1;
    }
    return vel::withSession(handle, -1, "Conform ES analysis", [&](InstInstance& session) {
        return startConformEnergySpectrum(session.context, session.analysis, run,
                                          ksq::CStringUtils::safe_string(folder_path),
                                          ksq::CStringUtils::safe_string(file_name));
    });
}

CI_API int64_t* ci_fetch_conform_es_area1_processdata(uint64_t handle, int* count) {
    return vel::withArrayFetch<int64_t>(handle, count, [&](InstInstance& session) {
        return fetchIntegerPairs(session.context, "fetch_ces_area1_processdata", count);
    });
}

CI_API int64_t* ci_fetch_conform_es_area2_processdata(uint64_t handle, int* count) {
    return vel::withArrayFetch<int64_t>(handle, count, [&](InstInstance& session) {
        return fetchIntegerPairs(session.context, "fetch_ces_area2_processdata", count);
    });
}

}  // extern "C"
