// The time-of-flight start and the g2 cross-correlation that may be
// configured while it runs.

#include "analysis/analysis_control.h"
#include "analysis/analysis_starts.h"
#include "analysis/analysis_state.h"
#include "core/output_file.h"
#include "core/session_context.h"
#include "net/call_kinds.h"

namespace vel::analysis {
namespace {

constexpr const char* kCsvExtension = ".csv";

}  // namespace

int startTimeOfFlight(const SessionContext& session, AnalysisState& state, const TimeOfFlightRun& run,
                      const std::string& folder, const std::string& fileName) {
    stopAnalysisThreads(session, state);
    {
        std::lock_guard<std::mutex> lock(state.pathMutex);
        state.analysisFolder = folder;
        state.analysisFileName = fileName;
        state.processDataPath.clear();
        state.crossCorrelationPath.clear();
    }
    state.t3Enabled = run.enableT3Data == 1;
    state.t3ToFile = false;

    if (!fileName.empty()) {
        const std::string countsPath = createOutputFile(session, folder.c_str(), fileName.c_str(), "_counts",
                                                        kCsvExtension, "", "tdiff(ps), counts");
        if (countsPath.empty()) {
            session.logError("Prepare output file paths failed for tof analysis");
            return -1;
        }
        std::lock_guard<std::mutex> lock(state.pathMutex);
        state.processDataPath = countsPath;
    }

    beginRun(state);
    const int status = callPlain(session, {{"cmd", "tof_analysis"},
                                           {"duration", run.duration},
                                           {"ch1", run.ch1},
                                           {"ch2", run.ch2},
                                           {"coins_time_window", run.coinsTimeWindow},
                                           {"enable_t3_data", static_cast<int>(run.enableT3Data)},
                                           {"avg_times", run.avgTimes},
                                           {"folder_path", folder},
                                           {"file_name", fileName}});
    if (status != 0) {
        return status;
    }
    // The service keeps the T3 records in its own file next to ours.
    if (!fileName.empty()) {
        state.t3ToFile = true;
    }
    startStopTimer(session, state, run.duration, Kind::TimeOfFlight);
    return 0;
}

int configureCrossCorrelation(const SessionContext& session, AnalysisState& state, int virtualTwin, int binWidth,
                              int dcr1, int dcr2) {
    std::string folder;
    std::string fileName;
    {
        std::lock_guard<std::mutex> lock(state.pathMutex);
        folder = state.analysisFolder;
        fileName = state.analysisFileName;
    }
    if (!fileName.empty()) {
        const std::string path = createOutputFile(session, folder.c_str(), fileName.c_str(), "_cross_correlation",
                                                  kCsvExtension, "", "tdiff(ps), cross_correlation(g2)");
        if (path.empty()) {
            session.logError("Prepare output cross correlation file paths failed for tof analysis");
            return -1;
        }
        std::lock_guard<std::mutex> lock(state.pathMutex);
        state.crossCorrelationPath = path;
    }
    return callPlain(session, {{"cmd", "set_cross_correlation_config"},
                               {"virtual_twin", virtualTwin},
                               {"bin_width", binWidth},
                               {"dcr1", dcr1},
                               {"dcr2", dcr2}});
}

}  // namespace vel::analysis
