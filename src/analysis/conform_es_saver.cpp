// What the coincidence-gated energy analysis keeps when it ends: the
// time-difference histogram, then the spectra of area 1 and area 2.

#include "analysis/analysis_control.h"
#include "analysis/analysis_savers.h"
#include "api/export_boundary.h"

#include <string>

namespace vel::analysis {

int saveConformEsResults(uint64_t handle) {
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
    const bool found = withSession(handle, false, "Save analysis process data", [&](InstInstance& session) {
        std::lock_guard<std::mutex> lock(session.analysis.pathMutex);
        saves[0].path = session.analysis.processDataPath;
        saves[1].path = session.analysis.conformArea1Path;
        saves[2].path = session.analysis.conformArea2Path;
        return true;
    });
    if (!found) {
        return -1;
    }
    for (const Save& save : saves) {
        if (saveProcessData(handle, save.path, save.command, 0, -1, -1) != 0) {
            logError(handle, save.failureMessage);
            return -1;
        }
    }
    return 0;
}

}  // namespace vel::analysis
