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

CI_API int ci_period_analysis(uint64_t handle, int duration, int decades, int decade_points, int average_num,
                              int analysis_length, double fnom_hz, int sampling_interval, int sampling_num,
                              const char* folder_path, const char* file_name) {
    if (duration <= 0) {
        return -1;
    }
    if (static_cast<int64_t>(duration) * 1000 < sampling_interval) {
        vel::logError(handle, "Invalid sampling interval specified");
        return -1;
    }
    return vel::withSession(handle, -1, "Period analysis", [&](InstInstance& session) {
        const int interval = effectiveSamplingInterval(sampling_interval);
        const nlohmann::json request = {{"cmd", "period_analysis"},    {"duration", duration},
                                        {"decades", decades},          {"decade_points", decade_points},
                                        {"average_num", average_num},  {"analysis_length", analysis_length},
                                        {"fnom_hz", fnom_hz},          {"sampling_interval", interval},
                                        {"sampling_num", sampling_num}};
        return startPeriod(session.context, session.analysis, request, duration, interval,
                           ksq::CStringUtils::safe_string(folder_path), ksq::CStringUtils::safe_string(file_name));
    });
}

CI_API double* ci_fetch_period_stability_metric(uint64_t handle, int stability_metric_type, int* count) {
    return vel::withArrayFetch<double>(handle, count, [&](InstInstance& session) {
        return fetchDoublePairs(
            session.context,
            {{"cmd", "fetch_period_stability_metric"}, {"stability_metric_type", stability_metric_type}}, count,
            "Fetch period stability metric data failed", "Fetch period stability metric data");
    });
}

}  // extern "C"
