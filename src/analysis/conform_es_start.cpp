// The coincidence-gated energy analysis of two A/D channels: a time-difference
// histogram of the accepted coincidences and one energy spectrum per channel
// (area 1 the lower channel, area 2 the higher).

#include "analysis/analysis_control.h"
#include "analysis/analysis_starts.h"
#include "analysis/analysis_state.h"
#include "core/output_file.h"
#include "core/session_context.h"
#include "net/call_kinds.h"

#include <algorithm>

namespace vel::analysis {
namespace {

// The three CSV files of a run with a file name; false (logged) when one
// cannot be prepared.
bool prepareFiles(const SessionContext& session, AnalysisState& state, const ConformEsRun& run,
                  const std::string& folder, const std::string& fileName) {
    const std::string processPath =
        createOutputFile(session, folder.c_str(), fileName.c_str(), "", ".csv", "", "tdiff, counts");
    if (processPath.empty()) {
        session.logError("Create process data file path failed for CONFORM_ES analysis");
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(state.pathMutex);
        state.processDataPath = processPath;
    }
    const std::string lowerSuffix = "_ch" + std::to_string(std::min(run.ch1, run.ch2));
    const std::string higherSuffix = "_ch" + std::to_string(std::max(run.ch1, run.ch2));
    const std::string area1Path =
        createOutputFile(session, folder.c_str(), fileName.c_str(), lowerSuffix.c_str(), ".csv", "", "adc, counts");
    const std::string area2Path =
        createOutputFile(session, folder.c_str(), fileName.c_str(), higherSuffix.c_str(), ".csv", "", "adc, counts");
    if (area1Path.empty() || area2Path.empty()) {
        session.logError("Create area process data file paths failed for CONFORM_ES analysis");
        return false;
    }
    std::lock_guard<std::mutex> lock(state.pathMutex);
    state.conformArea1Path = area1Path;
    state.conformArea2Path = area2Path;
    return true;
}

}  // namespace

const char* checkConformEsRun(const ConformEsRun& run) {
    if (run.ch1 < 0 || run.ch2 < 0 || run.ch1 == run.ch2) {
        return "Please specify two valid channels";
    }
    if (run.ch1 % 2 == 0 || run.ch2 % 2 == 0) {
        return "Only support odd numbered channels";
    }
    if (run.adIntegrationPoint <= 0) {
        return "Invalid A/D integration point value";
    }
    if (run.coinsTimeWindow <= 0) {
        return "Invalid coins time window value";
    }
    if (run.energyWindowMin1 < 0 || run.energyWindowMin2 < 0 || run.energyWindowMin1 >= run.energyWindowMax1 ||
        run.energyWindowMin2 >= run.energyWindowMax2) {
        return "Invalid energy window value";
    }
    return nullptr;
}

int startConformEnergySpectrum(const SessionContext& session, AnalysisState& state, const ConformEsRun& run,
                               const std::string& folder, const std::string& fileName) {
    {
        std::lock_guard<std::mutex> lock(state.pathMutex);
        state.processDataPath.clear();
        state.conformArea1Path.clear();
        state.conformArea2Path.clear();
    }
    if (!fileName.empty() && !prepareFiles(session, state, run, folder, fileName)) {
        return -1;
    }
    beginRun(state);
    // The wire order differs from the argument order: the window and the
    // averaging come before the energy windows.
    const int status = callPlain(session, {{"cmd", "conform_es_analysis"},
                                           {"duration", run.duration},
                                           {"ch1", run.ch1},
                                           {"ch2", run.ch2},
                                           {"ad_integration_point", run.adIntegrationPoint},
                                           {"area_scale", run.areaScale},
                                           {"coins_time_window", run.coinsTimeWindow},
                                           {"avg_times", run.avgTimes},
                                           {"energy_window_min1", run.energyWindowMin1},
                                           {"energy_window_max1", run.energyWindowMax1},
                                           {"energy_window_min2", run.energyWindowMin2},
                                           {"energy_window_max2", run.energyWindowMax2}});
    if (status == 0) {
        startStopTimer(session, state, run.duration, Kind::ConformEnergySpectrum);
    }
    return status;
}

}  // namespace vel::analysis
