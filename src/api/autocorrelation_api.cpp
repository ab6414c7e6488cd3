// The autocorrelation analysis: g2 of one channel over a delay range, with
// the channel's T2 time tags kept on request (fetched by ci_fetch_t2_data).

#include <veltranoapi/veltranoapi.h>

#include "analysis/analysis_starts.h"
#include "analysis/point_list_fetch.h"
#include "api/export_boundary.h"
#include "core/string_utils.h"

#include <string>

using namespace vel::analysis;

extern "C" {

CI_API int ci_autocorrelation_analysis(uint64_t handle, int duration, int ch, double minTau, double maxTau, int binNum,
                                       uint8_t enableT2Data, const char* folderPath, const char* fileNameText) {
    if (duration <= 0) {
        return -1;
    }
    if (ch < 0) {
        vel::logError(handle, "Invalid channel specified");
        return -1;
    }
    // Written so that a NaN bound is refused as well.
    if (!(minTau < maxTau)) {
        vel::logError(handle, "Parameter<min_tau> must be less than <max_tau>");
        return -1;
    }
    return vel::withSession(handle, -1, "Auto-correlation analysis", [&](InstInstance& session) {
        const std::string folder = ksq::CStringUtils::safe_string(folderPath);
        const std::string fileName = ksq::CStringUtils::safe_string(fileNameText);
        const nlohmann::json request = {{"cmd", "autocorrelation_analysis"},
                                        {"duration", duration},
                                        {"ch", ch},
                                        {"min_tau", minTau},
                                        {"max_tau", maxTau},
                                        {"bin_num", binNum},
                                        {"enable_t2_data", static_cast<int>(enableT2Data)},
                                        {"folder_path", folder},
                                        {"file_name", fileName}};
        return startAutocorrelation(session.context, session.analysis, request, duration, enableT2Data, folder,
                                    fileName);
    });
}

CI_API double* ci_fetch_autocorrelation_data(uint64_t handle, int* count) {
    return vel::withArrayFetch<double>(handle, count, [&](InstInstance& session) {
        return fetchDoublePairs(session.context, {{"cmd", "fetch_autocorrelation_data"}}, count,
                                "Fetch auto-correlation process data failed", "Fetch auto-correlation process data");
    });
}

}  // extern "C"
