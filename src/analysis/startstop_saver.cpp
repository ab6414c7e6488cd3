// Saving a start-stop analysis when it stops: one histogram file per (start,
// stop) pair and one average file per start channel with several stops, each
// fetched from the service into a prepared CSV file.

#include "analysis/analysis_control.h"
#include "analysis/analysis_state.h"
#include "analysis/analysis_savers.h"
#include "core/session_context.h"
#include "core/output_file.h"

#include <mutex>

namespace vel::analysis {

namespace {

constexpr const char* kOperation = "Save start-stop analysis data";
constexpr const char* kHeaderLine = "tdiff, counts";
constexpr const char* kDefaultFolder = "output";

struct SaveTarget {
    std::string folder;
    std::string baseName;
};

// The prepared file, or the empty string (logged) when no path can be formed.
std::string prepareFile(const SessionContext& session, const SaveTarget& target, const std::string& suffix) {
    const std::string path = createOutputFile(session, target.folder.c_str(), target.baseName.c_str(), suffix.c_str(),
                                              ".csv", "", kHeaderLine);
    if (path.empty()) {
        session.logError("Create output file path failed for start-stop analysis data: " + target.baseName + suffix);
    }
    return path;
}

// "_<start>_<what>": appended piece by piece, which also keeps GCC 12's
// -Wrestrict false positive on "literal" + std::string&& away.
std::string pairSuffix(int32_t startChan, const std::string& what) {
    std::string suffix = "_";
    suffix += std::to_string(startChan);
    suffix += '_';
    suffix += what;
    return suffix;
}

// The pair files of one start channel in stored order; the first failure
// abandons the rest of them. Returns the status of the last save performed.
int savePairs(const SessionContext& session, const SaveTarget& target, int32_t startChan,
              const std::vector<int32_t>& stops, int result) {
    for (int32_t stopChan : stops) {
        const std::string path =
            prepareFile(session, target, pairSuffix(startChan, std::to_string(stopChan)));
        if (path.empty()) {
            return result;
        }
        result = saveProcessData(session, path, "fetch_startstop_processdata", 0, startChan, stopChan);
        if (result == -1) {
            session.logError("Save process data to file failed for start-stop analysis: start_chan-" +
                             std::to_string(startChan) + ", stop_chan-" + std::to_string(stopChan));
            return result;
        }
    }
    return result;
}

int saveAverage(const SessionContext& session, const SaveTarget& target, int32_t startChan, int result) {
    const std::string path = prepareFile(session, target, pairSuffix(startChan, "average"));
    if (path.empty()) {
        return result;
    }
    result = saveProcessData(session, path, "fetch_startstop_average_processdata", 0, startChan, -1);
    if (result == -1) {
        session.logError("Save average process data to file failed for start-stop analysis: start_chan-" +
                         std::to_string(startChan));
    }
    return result;
}

}  // namespace

int saveStartStopResults(const SessionContext& session, AnalysisState& state) {
    return guardOperation(session, -1, kOperation, [&]() {
        SaveTarget target;
        std::unordered_map<int32_t, std::vector<int32_t>> groups;
        {
            std::lock_guard<std::mutex> lock(state.pathMutex);
            if (state.analysisFileName.empty()) {
                return 0;
            }
            target.folder = state.analysisFolder.empty() ? kDefaultFolder : state.analysisFolder;
            target.baseName = state.analysisFileName + "_start_stop";
            groups = state.startstopChanGroups;
        }
        int result = 0;
        for (const auto& [startChan, stops] : groups) {
            result = savePairs(session, target, startChan, stops, result);
            if (stops.size() >= 2) {
                result = saveAverage(session, target, startChan, result);
            }
        }
        return result;
    });
}

}  // namespace vel::analysis
