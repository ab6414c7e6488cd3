// The autocorrelation analysis: g2 of one channel over a delay range, with
// the channel's T2 time tags kept on request (fetched by ci_fetch_t2_data).

#include <veltranoapi/veltranoapi.h>

#include "analysis/analysis_control.h"
#include "analysis/analysis_kinds.h"
#include "analysis/analysis_state.h"
#include "analysis/run_start.h"
#include "analysis/point_list_fetch.h"
#include "api/export_boundary.h"
#include "core/string_utils.h"

#include <string>

namespace {

using namespace vel::analysis;

int startAutocorrelation(InstInstance& session, uint64_t handle, const nlohmann::json& request, int duration,
                         uint8_t enableT2Data, const std::string& folder, const std::string& fileName) {
    vel::AnalysisState& state = session.analysis;
    state.t2Enabled = enableT2Data == 1;
    state.t2ToFile = false;
    if (!prepareProcessDataFile(handle, state, folder, fileName, "tdiff(s), auto_correlation(g2)",
                                "Prepare output file path failed for auto-correlation analysis")) {
        return -1;
    }
    // With a file name the service writes the T2 records into its own file.
    return sendHistogramStart(handle, request, duration, kAutocorrelation, state.t2ToFile, !fileName.empty());
}

}  // namespace

extern "C" {

CI_API int ci_autocorrelation_analysis(uint64_t handle, int duration, int ch, double min_tau, double max_tau,
                                       int bin_num, uint8_t enable_t2_data, const char* folder_path,
                                       const char* file_name) {
    if (duration <= 0) {
        return -1;
    }
    if (ch < 0) {
        vel::logError(handle, "Invalid channel specified");
        return -1;
    }
    // Written so that a NaN bound is refused as well.
    if (!(min_tau < max_tau)) {
        vel::logError(handle, "Parameter<min_tau> must be less than <max_tau>");
        return -1;
    }
    return vel::withSession(handle, -1, "Auto-correlation analysis", [&](InstInstance& session) {
        const std::string folder = ksq::CStringUtils::safe_string(folder_path);
        const std::string fileName = ksq::CStringUtils::safe_string(file_name);
        const nlohmann::json request = {{"cmd", "autocorrelation_analysis"},
                                        {"duration", duration},
                                        {"ch", ch},
                                        {"min_tau", min_tau},
                                        {"max_tau", max_tau},
                                        {"bin_num", bin_num},
                                        {"enable_t2_data", static_cast<int>(enable_t2_data)},
                                        {"folder_path", folder},
                                        {"file_name", fileName}};
        return startAutocorrelation(session, handle, request, duration, enable_t2_data, folder, fileName);
    });
}

CI_API double* ci_fetch_autocorrelation_data(uint64_t handle, int* count) {
    if (count != nullptr) {
        *count = 0;
    }
    try {
        return fetchDoublePairs(handle, {{"cmd", "fetch_autocorrelation_data"}}, count,
                                "Fetch auto-correlation process data failed", "Fetch auto-correlation process data");
    } catch (...) {
        return nullptr;  // the request could not be built
    }
}

}  // extern "C"
