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

CI_API int ci_ad_analysis(uint64_t handle, int duration, int channel, int adIntegrationPoint, int samplingIntervalMs,
                          int samplingNum, const char* folderPath, const char* fileName) {
    if (duration <= 0) {
        return -1;
    }
    if (channel < 0 || channel % 2 == 0) {
        vel::logError(handle, "Invalid A/D channel specified");
        return -1;
    }
    if (samplingIntervalMs > static_cast<int64_t>(duration) * 1000) {
        vel::logError(handle, "Invalid sampling interval specified");
        return -1;
    }
    return vel::withSession(handle, -1, "A/D analysis", [&](InstInstance& session) {
        const int interval = effectiveSamplingInterval(samplingIntervalMs);
        const nlohmann::json request = {{"cmd", "ad_analysis"},
                                        {"duration", duration},
                                        {"ch", channel},
                                        {"ad_integration_point", adIntegrationPoint},
                                        {"sampling_num", samplingNum}};
        return startAd(session.context, session.analysis, request, duration, interval,
                       ksq::CStringUtils::safe_string(folderPath), ksq::CStringUtils::safe_string(fileName));
    });
}

}  // extern "C"
