#include "analysis/ncoins_start.h"

#include "analysis/analysis_state.h"
#include "analysis/analysis_control.h"
#include "analysis/analysis_kinds.h"
#include "core/string_utils.h"
#include "net/call_kinds.h"

#include <mutex>

namespace vel::analysis {

int startNCoincidenceAnalysis(const SessionContext& session, AnalysisState& state, int durationSeconds,
                              NCoinsStrategies&& strategies, uint8_t enableRawData, const char* folderPath,
                              const char* fileName) {
    const std::string folder = ksq::CStringUtils::safe_string(folderPath);
    const std::string name = ksq::CStringUtils::safe_string(fileName);
    const nlohmann::json request = {
        {"cmd", "ncoins_analysis"},
        {"duration", durationSeconds},
        {"ncoins_strats", std::move(strategies.strategies)},
        {"enable_raw_data", static_cast<int>(enableRawData)},
        {"folder_path", folder},
        {"file_name", name},
    };

    stopAnalysisThreads(session, state);
    {
        std::lock_guard<std::mutex> lock(state.pathMutex);
        state.ncoinsStrategyNames = std::move(strategies.names);
        state.analysisFolder = folder;
        state.analysisFileName = name;
        state.processDataPath.clear();
    }
    state.ncoinsRawEnabled = enableRawData == 1;
    state.ncoinsRawToFile = false;

    beginRun(state);
    const int status = callPlain(session, request);
    if (status != 0) {
        return status;
    }
    // The service writes the raw records into its own file.
    if (!name.empty()) {
        state.ncoinsRawToFile = true;
    }
    startStopTimer(session, state, durationSeconds, Kind::NCoincidences);
    return 0;
}

}  // namespace vel::analysis
