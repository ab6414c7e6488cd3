// The period analysis: the service measures a periodic signal cycle by cycle;
// the library samples the per-cycle periods into the raw buffer (a CSV file
// or the caller) and saves the histogram and four stability curves at stop.

#include <veltranoapi/veltranoapi.h>

#include "analysis/analysis_starts.h"
#include "analysis/point_list_fetch.h"
#include "analysis/run_start.h"
#include "api/export_boundary.h"
#include "core/string_utils.h"

using namespace vel::analysis;

extern "C" {

CI_API int ci_period_analysis(uint64_t handle, int duration, int decades, int decadePoints, int averageNum,
                              int analysisLength, double fnomHz, int samplingInterval, int samplingNum,
                              const char* folderPath, const char* fileName) {
    if (duration <= 0) {
        return -1;
    }
    if (static_cast<int64_t>(duration) * 1000 < samplingInterval) {
        vel::logError(handle, "Invalid sampling interval specified");
        return -1;
    }
    return vel::withSession(handle, -1, "Period analysis", [&](InstInstance& session) {
        const int interval = effectiveSamplingInterval(samplingInterval);
        const nlohmann::json request = {{"cmd", "period_analysis"},   {"duration", duration},
                                        {"decades", decades},         {"decade_points", decadePoints},
                                        {"average_num", averageNum},  {"analysis_length", analysisLength},
                                        {"fnom_hz", fnomHz},          {"sampling_interval", interval},
                                        {"sampling_num", samplingNum}};
        return startPeriod(session.context, session.analysis, request, duration, interval,
                           ksq::CStringUtils::safe_string(folderPath), ksq::CStringUtils::safe_string(fileName));
    });
}

CI_API double* ci_fetch_period_stability_metric(uint64_t handle, int stabilityMetricType, int* count) {
    return vel::withArrayFetch<double>(handle, count, [&](InstInstance& session) {
        return fetchDoublePairs(
            session.context, {{"cmd", "fetch_period_stability_metric"}, {"stability_metric_type", stabilityMetricType}},
            count, "Fetch period stability metric data failed", "Fetch period stability metric data");
    });
}

}  // extern "C"
