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

CI_API int ci_tot_analysis(uint64_t handle, int duration, int channel, int8_t enableTotData, const char* folderPath,
                           const char* fileName) {
    if (duration <= 0) {
        return -1;
    }
    if (channel < 0) {
        vel::logError(handle, "Invalid channel specified");
        return -1;
    }
    return vel::withSession(handle, -1, "TOT analysis", [&](InstInstance& session) {
        return startTimeOverThreshold(session.context, session.analysis, duration, channel, enableTotData,
                                      ksq::CStringUtils::safe_string(folderPath),
                                      ksq::CStringUtils::safe_string(fileName));
    });
}

CI_API int ci_es_analysis(uint64_t handle, int duration, int channel, int adIntegrationPoint, int areaScale,
                          int8_t enableEsData, const char* folderPath, const char* fileNameText) {
    if (duration <= 0) {
        return -1;
    }
    if (!isAdChannel(channel)) {
        vel::logError(handle, "Invalid A/D channel specified");
        return -1;
    }
    if (adIntegrationPoint <= 0) {
        vel::logError(handle, "Invalid A/D integration point value");
        return -1;
    }
    return vel::withSession(handle, -1, "ES analysis", [&](InstInstance& session) {
        const std::string folder = ksq::CStringUtils::safe_string(folderPath);
        const std::string fileName = ksq::CStringUtils::safe_string(fileNameText);
        const nlohmann::json request = {{"cmd", "es_analysis"},    {"duration", duration},
                                        {"ch", channel},           {"ad_integration_point", adIntegrationPoint},
                                        {"area_scale", areaScale}, {"enable_es_data", static_cast<int>(enableEsData)},
                                        {"folder_path", folder},   {"file_name", fileName}};
        return startEnergySpectrum(session.context, session.analysis, request, duration, enableEsData, folder,
                                   fileName);
    });
}

}  // extern "C"
