// The pulse analyses of one channel: time over threshold (how long each
// pulse stays above the threshold) and the energy spectrum of an A/D channel
// (each pulse integrated and scaled). Both histogram inside the service, save
// the histogram at stop and keep their records for ci_fetch_tot_data /
// ci_fetch_es_data on request.

#include <veltranoapi/veltranoapi.h>

#include "analysis/analysis_starts.h"
#include "api/export_boundary.h"
#include "core/string_utils.h"

#include <string>

namespace {

using namespace vel::analysis;

// A/D channels are the odd ones.
bool isAdChannel(int channel) {
    return channel >= 0 && channel % 2 == 1;
}

}  // namespace

extern "C" {

CI_API int ci_tot_analysis(uint64_t handle, int duration, int channel, int8_t enable_tot_data, const char* folder_path,
                           const char* file_name) {
    if (duration <= 0) {
        return -1;
    }
    if (channel < 0) {
        vel::logError(handle, "Invalid channel specified");
        return -1;
    }
    return vel::withSession(handle, -1, "TOT analysis", [&](InstInstance& session) {
        return startTimeOverThreshold(session.context, session.analysis, duration, channel, enable_tot_data,
                                      ksq::CStringUtils::safe_string(folder_path),
                                      ksq::CStringUtils::safe_string(file_name));
    });
}

CI_API int ci_es_analysis(uint64_t handle, int duration, int channel, int ad_integration_point, int area_scale,
                          int8_t enable_es_data, const char* folder_path, const char* file_name) {
    if (duration <= 0) {
        return -1;
    }
    if (!isAdChannel(channel)) {
        vel::logError(handle, "Invalid A/D channel specified");
        return -1;
    }
    if (ad_integration_point <= 0) {
        vel::logError(handle, "Invalid A/D integration point value");
        return -1;
    }
    return vel::withSession(handle, -1, "ES analysis", [&](InstInstance& session) {
        const std::string folder = ksq::CStringUtils::safe_string(folder_path);
        const std::string fileName = ksq::CStringUtils::safe_string(file_name);
        const nlohmann::json request = {{"cmd", "es_analysis"},
                                        {"duration", duration},
                                        {"ch", channel},
                                        {"ad_integration_point", ad_integration_point},
                                        {"area_scale", area_scale},
                                        {"enable_es_data", static_cast<int>(enable_es_data)},
                                        {"folder_path", folder},
                                        {"file_name", fileName}};
        return startEnergySpectrum(session.context, session.analysis, request, duration, enable_es_data, folder,
                                   fileName);
    });
}

}  // extern "C"
