// The pulse analyses of one channel: time over threshold (how long each
// pulse stays above the threshold) and the energy spectrum of an A/D channel
// (each pulse integrated and scaled). Both histogram inside the service, save
// the histogram at stop and keep their records for ci_fetch_tot_data /
// ci_fetch_es_data on request.

#include <veltranoapi/veltranoapi.h>

#include "analysis/analysis_kinds.h"
#include "analysis/analysis_state.h"
#include "analysis/run_start.h"
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
        vel::AnalysisState& state = session.analysis;
        const std::string folder = ksq::CStringUtils::safe_string(folder_path);
        const std::string fileName = ksq::CStringUtils::safe_string(file_name);
        if (!prepareProcessDataFile(handle, state, folder, fileName, "tot, counts",
                                    "Prepare output file path failed for TOT analysis")) {
            return -1;
        }
        state.totDataToFile = false;
        state.totDataEnabled = enable_tot_data == 1;
        const nlohmann::json request = {{"cmd", "tot_analysis"}, {"duration", duration},
                                        {"ch", channel},         {"enable_tot_data", static_cast<int>(enable_tot_data)},
                                        {"folder_path", folder}, {"file_name", fileName}};
        return sendHistogramStart(handle, request, duration, kTimeOverThreshold, state.totDataToFile,
                                  !fileName.empty());
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
        vel::AnalysisState& state = session.analysis;
        const std::string folder = ksq::CStringUtils::safe_string(folder_path);
        const std::string fileName = ksq::CStringUtils::safe_string(file_name);
        if (!prepareProcessDataFile(handle, state, folder, fileName, "adc, counts",
                                    "Prepare output file path failed for ES analysis")) {
            return -1;
        }
        state.esDataToFile = false;
        state.esDataEnabled = enable_es_data == 1;
        const nlohmann::json request = {{"cmd", "es_analysis"},
                                        {"duration", duration},
                                        {"ch", channel},
                                        {"ad_integration_point", ad_integration_point},
                                        {"area_scale", area_scale},
                                        {"enable_es_data", static_cast<int>(enable_es_data)},
                                        {"folder_path", folder},
                                        {"file_name", fileName}};
        return sendHistogramStart(handle, request, duration, kEnergySpectrum, state.esDataToFile, !fileName.empty());
    });
}

}  // extern "C"
