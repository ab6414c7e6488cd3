// The time-of-flight analysis: its start, the g2 cross-correlation that may be
// configured while it runs, and the fetch of the g2 curve.

#include <veltranoapi/veltranoapi.h>

#include "analysis/analysis_control.h"
#include "analysis/analysis_kinds.h"
#include "analysis/point_list_fetch.h"
#include "api/export_boundary.h"
#include "api/output_file.h"
#include "core/string_utils.h"
#include "net/call_kinds.h"

#include <string>

namespace {

using namespace vel::analysis;

constexpr const char* kCsvExtension = ".csv";

int startTimeOfFlight(InstInstance& session, uint64_t handle, int duration, int ch1, int ch2, int coinsTimeWindow,
                      uint8_t enableT3Data, int avgTimes, const std::string& folder, const std::string& fileName) {
    vel::AnalysisState& state = session.analysis;
    stopAnalysisThreads(handle);
    {
        std::lock_guard<std::mutex> lock(state.pathMutex);
        state.analysisFolder = folder;
        state.analysisFileName = fileName;
        state.processDataPath.clear();
        state.crossCorrelationPath.clear();
    }
    state.t3Enabled = enableT3Data == 1;
    state.t3ToFile = false;

    if (!fileName.empty()) {
        const std::string countsPath = vel::createOutputFile(handle, folder.c_str(), fileName.c_str(), "_counts",
                                                             kCsvExtension, "", "tdiff(ps), counts");
        if (countsPath.empty()) {
            vel::logError(handle, "Prepare output file paths failed for tof analysis");
            return -1;
        }
        std::lock_guard<std::mutex> lock(state.pathMutex);
        state.processDataPath = countsPath;
    }

    beginRun(handle);
    const int status = vel::callPlain(handle, {{"cmd", "tof_analysis"},
                                               {"duration", duration},
                                               {"ch1", ch1},
                                               {"ch2", ch2},
                                               {"coins_time_window", coinsTimeWindow},
                                               {"enable_t3_data", static_cast<int>(enableT3Data)},
                                               {"avg_times", avgTimes},
                                               {"folder_path", folder},
                                               {"file_name", fileName}});
    if (status != 0) {
        return status;
    }
    // The service keeps the T3 records in its own file next to ours.
    if (!fileName.empty()) {
        state.t3ToFile = true;
    }
    startStopTimer(handle, duration, kTimeOfFlight);
    return 0;
}

}  // namespace

extern "C" {

CI_API int ci_tof_analysis(uint64_t handle, int duration, int ch1, int ch2, int coins_time_window,
                           uint8_t enable_t3_data, int avg_times, const char* folder_path, const char* file_name) {
    if (duration <= 0) {
        return -1;
    }
    return vel::withSession(handle, -1, "Tof analysis", [&](InstInstance& session) {
        return startTimeOfFlight(session, handle, duration, ch1, ch2, coins_time_window, enable_t3_data, avg_times,
                                 ksq::CStringUtils::safe_string(folder_path),
                                 ksq::CStringUtils::safe_string(file_name));
    });
}

CI_API int ci_set_cross_correlation_config(uint64_t handle, int virtual_twin, int bin_width, int dcr1, int dcr2) {
    return vel::withSession(handle, -1, "Set cross correlation config", [&](InstInstance& session) {
        vel::AnalysisState& state = session.analysis;
        std::string folder;
        std::string fileName;
        {
            std::lock_guard<std::mutex> lock(state.pathMutex);
            folder = state.analysisFolder;
            fileName = state.analysisFileName;
        }
        if (!fileName.empty()) {
            const std::string path =
                vel::createOutputFile(handle, folder.c_str(), fileName.c_str(), "_cross_correlation", kCsvExtension,
                                      "", "tdiff(ps), cross_correlation(g2)");
            if (path.empty()) {
                vel::logError(handle, "Prepare output cross correlation file paths failed for tof analysis");
                return -1;
            }
            std::lock_guard<std::mutex> lock(state.pathMutex);
            state.crossCorrelationPath = path;
        }
        return vel::callPlain(handle, {{"cmd", "set_cross_correlation_config"},
                                       {"virtual_twin", virtual_twin},
                                       {"bin_width", bin_width},
                                       {"dcr1", dcr1},
                                       {"dcr2", dcr2}});
    });
}

CI_API double* ci_fetch_cross_correlation_data(uint64_t handle, int* count) {
    return fetchDoublePairs(handle, "fetch_cross_correlation_data", count);
}

}  // extern "C"
