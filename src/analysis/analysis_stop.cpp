// The common stop routine behind every ci_stop_..._analysis and the stop
// timer: stop the raw threads, and for the first caller of a run save the
// kind's results and send its stop command.

#include "analysis/analysis_control.h"
#include "analysis/analysis_kinds.h"
#include "analysis/analysis_savers.h"
#include "analysis/stop_timer.h"
#include "api/export_boundary.h"
#include "net/call_kinds.h"

#include <optional>
#include <string>

namespace vel::analysis {
namespace {

constexpr int kNoChannel = -1;

int saveInto(uint64_t handle, const std::string& path, const char* command, int metricType = 0) {
    return saveProcessData(handle, path, command, metricType, kNoChannel, kNoChannel);
}

// Saves what the kind keeps at its end, in order; only the last save's status
// counts (earlier failures are logged by the save itself).
int saveResultsOf(uint64_t handle, AnalysisState& state, int kind) {
    std::string processData, crossCorrelation, adev, mdev, tdev, hdev;
    {
        std::lock_guard<std::mutex> lock(state.pathMutex);
        processData = state.processDataPath;
        crossCorrelation = state.crossCorrelationPath;
        adev = state.adevPath;
        mdev = state.mdevPath;
        tdev = state.tdevPath;
        hdev = state.hdevPath;
    }
    switch (kind) {
    case kTimeOfFlight:
        saveInto(handle, processData, "fetch_processdata");
        return saveInto(handle, crossCorrelation, "fetch_cross_correlation_data");
    case kTimeOverThreshold:
    case kEnergySpectrum:
        return saveInto(handle, processData, "fetch_processdata");
    case kConformEnergySpectrum:
        return saveConformEsResults(handle);
    case kPeriod:
        saveInto(handle, processData, "fetch_processdata");
        saveInto(handle, adev, "fetch_period_stability_metric", 0);
        saveInto(handle, mdev, "fetch_period_stability_metric", 1);
        saveInto(handle, tdev, "fetch_period_stability_metric", 2);
        return saveInto(handle, hdev, "fetch_period_stability_metric", 3);
    case kStartStop:
        return saveStartStopResults(handle);
    case kNCoincidences:
        return saveNCoincidenceResults(handle);
    case kAutocorrelation:
        return saveInto(handle, processData, "fetch_autocorrelation_data");
    default:  // the A/D analysis keeps nothing
        return 0;
    }
}

// The routine itself; run names the only run a timer may stop.
int stopRun(uint64_t handle, int kind, std::optional<uint64_t> run) {
    const char* stopCommand = stopCommandOf(kind);
    if (!stopCommand) {
        return -1;
    }
    return withSession(handle, -1, "Stop analysis", [&](InstInstance& session) {
        AnalysisState& state = session.analysis;
        std::lock_guard<std::mutex> runLock(state.runMutex);
        if (run && (state.runNumber.load() != *run || state.analysisStopped.load())) {
            return 0;  // a timer of a run that is over or superseded
        }
        stopAnalysisThreads(handle);
        if (state.analysisStopped.exchange(true)) {
            return 0;
        }
        const int saved = saveResultsOf(handle, state, kind);
        if (saved == -1) {
            logError(handle, "Save process data to file failed for analysis type:" + std::to_string(kind));
            callPlain(handle, {{"cmd", stopCommand}});
            return -1;
        }
        const int status = callPlain(handle, {{"cmd", stopCommand}});
        return saved != 0 || status != 0 ? -1 : 0;
    });
}

}  // namespace

int stopAnalysis(uint64_t handle, int kind) {
    return stopRun(handle, kind, std::nullopt);
}

int stopAnalysisRun(uint64_t handle, int kind, uint64_t run) {
    return stopRun(handle, kind, run);
}

}  // namespace vel::analysis
