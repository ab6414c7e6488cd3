// The coincidence-gated energy analysis of two A/D channels and the fetches
// of its two energy spectra.

#include <veltranoapi/veltranoapi.h>

#include "analysis/analysis_starts.h"
#include "analysis/point_list_fetch.h"
#include "api/export_boundary.h"
#include "core/string_utils.h"

using namespace vel::analysis;

extern "C" {

CI_API int ci_conform_es_analysis(uint64_t handle, int duration, int ch1, int ch2, int adIntegrationPoint,
                                  int areaScale, int energyWindowMin1, int energyWindowMax1, int energyWindowMin2,
                                  int energyWindowMax2, int coinsTimeWindow, int avgTimes, const char* folderPath,
                                  const char* fileName) {
    if (duration <= 0) {
        return -1;
    }
    const ConformEsRun run{duration,
                           ch1,
                           ch2,
                           adIntegrationPoint,
                           areaScale,
                           energyWindowMin1,
                           energyWindowMax1,
                           energyWindowMin2,
                           energyWindowMax2,
                           coinsTimeWindow,
                           avgTimes};
    if (const char* problem = checkConformEsRun(run)) {
        vel::logError(handle, problem);
        return -1;
    }
    return vel::withSession(handle, -1, "Conform ES analysis", [&](InstInstance& session) {
        return startConformEnergySpectrum(session.context, session.analysis, run,
                                          ksq::CStringUtils::safe_string(folderPath),
                                          ksq::CStringUtils::safe_string(fileName));
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
