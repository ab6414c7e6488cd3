// What the coincidence-gated energy analysis keeps when it ends: the
// time-difference histogram, then the spectra of area 1 and area 2.

#include "analysis/analysis_control.h"
#include "analysis/analysis_state.h"
#include "analysis/analysis_savers.h"
#include "core/session_context.h"

#include <string>

namespace vel::analysis {

int saveConformEsResults(const SessionContext& session, AnalysisState& state) {
    struct Save {
        std::string path;
        const char* command;
        const char* failureMessage;
    };
    Save saves[3] = {
        {{}, "fetch_processdata", "Save process data to file failed for conform es analysis"},
        {{}, "fetch_ces_area1_processdata", "Save area1 process data to file failed for conform es analysis"},
        {{}, "fetch_ces_area2_processdata", "Save area2 process data to file failed for conform es analysis"},
    };
    const bool found = guardOperation(session, false, "Save analysis process data", [&]() {
        std::lock_guard<std::mutex> lock(state.pathMutex);
        saves[0].path = state.processDataPath;
        saves[1].path = state.conformArea1Path;
        saves[2].path = state.conformArea2Path;
        return true;
    });
    if (!found) {
        return -1;
    }
    for (const Save& save : saves) {
        if (saveProcessData(session, save.path, save.command, 0, -1, -1) != 0) {
            session.logError(save.failureMessage);
            return -1;
        }
    }
    return 0;
}

}  // namespace vel::analysis
