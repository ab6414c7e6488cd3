// The coincidence-gated energy analysis of two A/D channels: a
// time-difference histogram of the accepted coincidences and one energy
// spectrum per channel (area 1 the lower channel, area 2 the higher).

#include <veltranoapi/veltranoapi.h>

#include "analysis/analysis_control.h"
#include "analysis/analysis_kinds.h"
#include "analysis/analysis_state.h"
#include "analysis/point_list_fetch.h"
#include "api/export_boundary.h"
#include "api/output_file.h"
#include "core/string_utils.h"
#include "net/call_kinds.h"

#include <algorithm>
#include <string>

namespace {

using namespace vel::analysis;

struct ConformEsRun {
    int duration, ch1, ch2, adIntegrationPoint, areaScale;
    int energyWindowMin1, energyWindowMax1, energyWindowMin2, energyWindowMax2;
    int coinsTimeWindow, avgTimes;
};

// The first failing check decides; its message, or null when all pass.
const char* checkRun(const ConformEsRun& run) {
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

// The three CSV files of a run with a file name; false (logged) when one
// cannot be prepared.
bool prepareFiles(uint64_t handle, vel::AnalysisState& state, const ConformEsRun& run, const std::string& folder,
                  const std::string& fileName) {
    const std::string processPath =
        vel::createOutputFile(handle, folder.c_str(), fileName.c_str(), "", ".csv", "", "tdiff, counts");
    if (processPath.empty()) {
        vel::logError(handle, "Create process data file path failed for CONFORM_ES analysis");
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(state.pathMutex);
        state.processDataPath = processPath;
    }
    const std::string lowerSuffix = "_ch" + std::to_string(std::min(run.ch1, run.ch2));
    const std::string higherSuffix = "_ch" + std::to_string(std::max(run.ch1, run.ch2));
    const std::string area1Path =
        vel::createOutputFile(handle, folder.c_str(), fileName.c_str(), lowerSuffix.c_str(), ".csv", "", "adc, counts");
    const std::string area2Path = vel::createOutputFile(handle, folder.c_str(), fileName.c_str(), higherSuffix.c_str(),
                                                        ".csv", "", "adc, counts");
    if (area1Path.empty() || area2Path.empty()) {
        vel::logError(handle, "Create area process data file paths failed for CONFORM_ES analysis");
        return false;
    }
    std::lock_guard<std::mutex> lock(state.pathMutex);
    state.conformArea1Path = area1Path;
    state.conformArea2Path = area2Path;
    return true;
}

int startConformEs(InstInstance& session, uint64_t handle, const ConformEsRun& run, const std::string& folder,
                   const std::string& fileName) {
    vel::AnalysisState& state = session.analysis;
    {
        std::lock_guard<std::mutex> lock(state.pathMutex);
        state.processDataPath.clear();
        state.conformArea1Path.clear();
        state.conformArea2Path.clear();
    }
    if (!fileName.empty() && !prepareFiles(handle, state, run, folder, fileName)) {
        return -1;
    }
    beginRun(handle);
    // The wire order differs from the argument order: the window and the
    // averaging come before the energy windows.
    const int status = vel::callPlain(handle, {{"cmd", "conform_es_analysis"},
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
        startStopTimer(handle, run.duration, kConformEnergySpectrum);
    }
    return status;
}

}  // namespace

extern "C" {

CI_API int ci_conform_es_analysis(uint64_t handle, int duration, int ch1, int ch2, int ad_integration_point,
                                  int area_scale, int energy_window_min1, int energy_window_max1,
                                  int energy_window_min2, int energy_window_max2, int coins_time_window, int avg_times,
                                  const char* folder_path, const char* file_name) {
    if (duration <= 0) {
        return -1;
    }
    const ConformEsRun run{duration,
                           ch1,
                           ch2,
                           ad_integration_point,
                           area_scale,
                           energy_window_min1,
                           energy_window_max1,
                           energy_window_min2,
                           energy_window_max2,
                           coins_time_window,
                           avg_times};
    if (const char* problem = checkRun(run)) {
        vel::logError(handle, problem);
        return -1;
    }
    return vel::withSession(handle, -1, "Conform ES analysis", [&](InstInstance& session) {
        return startConformEs(session, handle, run, ksq::CStringUtils::safe_string(folder_path),
                              ksq::CStringUtils::safe_string(file_name));
    });
}

CI_API int64_t* ci_fetch_conform_es_area1_processdata(uint64_t handle, int* count) {
    return fetchIntegerPairs(handle, "fetch_ces_area1_processdata", count);
}

CI_API int64_t* ci_fetch_conform_es_area2_processdata(uint64_t handle, int* count) {
    return fetchIntegerPairs(handle, "fetch_ces_area2_processdata", count);
}

}  // extern "C"
