// The common stop routine behind every ci_stop_..._analysis and the stop
// timer: stop the raw threads, and for the first caller of a run save the
// kind's results and send its stop command.

#include "analysis/analysis_control.h"
#include "analysis/analysis_state.h"
#include "analysis/analysis_kinds.h"
#include "analysis/analysis_savers.h"
#include "analysis/stop_timer.h"
#include "core/session_context.h"
#include "net/call_kinds.h"

#include <optional>
#include <string>

namespace vel::analysis {
namespace {

constexpr int kNoChannel = -1;

int saveInto(const SessionContext& session, const std::string& path, const char* command, int metricType = 0) {
    return saveProcessData(session, path, command, metricType, kNoChannel, kNoChannel);
}

// Saves what the kind keeps at its end, in order; only the last save's status
// counts (earlier failures are logged by the save itself).
int saveResultsOf(const SessionContext& session, AnalysisState& state, Kind kind) {
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
        case Kind::TimeOfFlight:
            saveInto(session, processData, "fetch_processdata");
            return saveInto(session, crossCorrelation, "fetch_cross_correlation_data");
        case Kind::TimeOverThreshold:
        case Kind::EnergySpectrum:
            return saveInto(session, processData, "fetch_processdata");
        case Kind::ConformEnergySpectrum:
            return saveConformEsResults(session, state);
        case Kind::Period:
            saveInto(session, processData, "fetch_processdata");
            saveInto(session, adev, "fetch_period_stability_metric", 0);
            saveInto(session, mdev, "fetch_period_stability_metric", 1);
            saveInto(session, tdev, "fetch_period_stability_metric", 2);
            return saveInto(session, hdev, "fetch_period_stability_metric", 3);
        case Kind::StartStop:
            return saveStartStopResults(session, state);
        case Kind::NCoincidences:
            return saveNCoincidenceResults(session, state);
        case Kind::Autocorrelation:
            return saveInto(session, processData, "fetch_autocorrelation_data");
        default:  // the A/D analysis keeps nothing
            return 0;
    }
}

// The routine itself; run names the only run a timer may stop.
int stopRun(const SessionContext& session, AnalysisState& state, Kind kind, std::optional<uint64_t> run) {
    const char* stopCommand = stopCommandOf(kind);
    if (!stopCommand) {
        return -1;
    }
    return guardOperation(session, -1, "Stop analysis", [&]() {
        std::lock_guard<std::mutex> runLock(state.runMutex);
        if (run && (state.runNumber.load() != *run || state.analysisStopped.load())) {
            return 0;  // a timer of a run that is over or superseded
        }
        stopAnalysisThreads(session, state);
        if (state.analysisStopped.exchange(true)) {
            return 0;
        }
        const int saved = saveResultsOf(session, state, kind);
        if (saved == -1) {
            session.logError("Save process data to file failed for analysis type:" + std::to_string(kindNumber(kind)));
            callPlain(session, {{"cmd", stopCommand}});
            return -1;
        }
        const int status = callPlain(session, {{"cmd", stopCommand}});
        return saved != 0 || status != 0 ? -1 : 0;
    });
}

}  // namespace

int stopAnalysis(const SessionContext& session, AnalysisState& state, Kind kind) {
    // A timer that still waits has nothing left to do; one that is stopping
    // the run already finishes first, and this stop then finds the run over.
    endStopTimer(state);
    return stopRun(session, state, kind, std::nullopt);
}

int stopAnalysisRun(const SessionContext& session, AnalysisState& state, Kind kind, uint64_t run) {
    return stopRun(session, state, kind, run);
}

}  // namespace vel::analysis
