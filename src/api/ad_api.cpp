// The A/D analysis: the service digitises one A/D channel and the library
// polls the samples (sampling point, adc value) into the raw buffer, from
// where they go to a CSV file or to the caller (ci_fetch_ad_rawdata).

#include <veltranoapi/veltranoapi.h>

#include "analysis/analysis_starts.h"
#include "analysis/run_start.h"
#include "api/export_boundary.h"
#include "core/string_utils.h"

using namespace vel::analysis;

extern "C" {

CI_API int ci_ad_analysis(uint64_t handle, int duration, int channel, int ad_integration_point,
                          int sampling_interval_ms, int sampling_num, const char* folder_path, const char* file_name) {
    if (duration <= 0) {
        return -1;
    }
    if (channel < 0 || channel % 2 == 0) {
        vel::logError(handle, "Invalid A/D channel specified");
        return -1;
    }
    if (sampling_interval_ms > static_cast<int64_t>(duration) * 1000) {
        vel::logError(handle, "Invalid sampling interval specified");
        return -1;
    }
    return vel::withSession(handle, -1, "A/D analysis", [&](InstInstance& session) {
        const int interval = effectiveSamplingInterval(sampling_interval_ms);
        const nlohmann::json request = {{"cmd", "ad_analysis"},
                                        {"duration", duration},
                                        {"ch", channel},
                                        {"ad_integration_point", ad_integration_point},
                                        {"sampling_num", sampling_num}};
        return startAd(session.context, session.analysis, request, duration, interval,
                       ksq::CStringUtils::safe_string(folder_path), ksq::CStringUtils::safe_string(file_name));
    });
}

}  // extern "C"
