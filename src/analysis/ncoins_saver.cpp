// Saving an n-fold coincidence analysis when it stops: the count-rate history
// of every strategy of the latest start, one CSV file per strategy named
// after it.

#include "analysis/analysis_savers.h"
#include "analysis/analysis_state.h"
#include "analysis/point_csv.h"
#include "analysis/point_list_fetch.h"
#include "analysis/startstop_fetch.h"
#include "core/session_context.h"
#include "core/output_file.h"

#include <mutex>

namespace vel::analysis {

namespace {

constexpr const char* kHeaderLine = "time(s), cps";
constexpr const char* kDefaultFolder = "output";

int saveStrategies(const SessionContext& session, AnalysisState& state) {
    std::string folder;
    std::string fileName;
    std::vector<std::string> names;
    {
        std::lock_guard<std::mutex> lock(state.pathMutex);
        folder = state.analysisFolder.empty() ? kDefaultFolder : state.analysisFolder;
        fileName = state.analysisFileName;
        names = state.ncoinsStrategyNames;
    }
    if (fileName.empty()) {
        return 0;
    }
    for (size_t index = 0; index < names.size(); ++index) {
        const std::string suffix = "_" + names[index];
        const std::string path =
            createOutputFile(session, folder.c_str(), fileName.c_str(), suffix.c_str(), ".csv", "", kHeaderLine);
        if (path.empty()) {
            session.logError("Create output file path failed for ncoins cps data: " + fileName + suffix);
            return 0;
        }
        PointList points;
        const nlohmann::json request = {{"cmd", "fetch_ncoins_cps"}, {"strategy_index", static_cast<int>(index)}};
        if (!fetchPointList(session, request, "Fetch ncoins cps data failed", points)) {
            return -1;
        }
        if (!appendPointsToCsvFile(path, points)) {
            session.logError("Failed to open ncoins cps data file for writing: " + path);
            return -1;
        }
    }
    return 0;
}

}  // namespace

int saveNCoincidenceResults(const SessionContext& session, AnalysisState& state) {
    if (!session.connection) {
        return -1;
    }
    try {
        return saveStrategies(session, state);
    } catch (const std::exception& e) {
        session.logException("Save ncoins cps data", e);
    } catch (...) {
        // This message has its own wording.
        session.logError("Save ncoins cps process data unknown exception");
    }
    return -1;
}

}  // namespace vel::analysis
