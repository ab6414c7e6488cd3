#include "analysis/run_start.h"

#include "analysis/analysis_control.h"
#include "analysis/analysis_state.h"
#include "core/output_file.h"
#include "core/session_context.h"
#include "net/call_kinds.h"

#include <mutex>

namespace vel::analysis {

bool prepareProcessDataFile(const SessionContext& session, AnalysisState& state, const std::string& folder,
                            const std::string& fileName, const char* header, const char* failedMessage) {
    {
        std::lock_guard<std::mutex> lock(state.pathMutex);
        state.processDataPath.clear();
    }
    if (fileName.empty()) {
        return true;
    }
    const std::string path = createOutputFile(session, folder.c_str(), fileName.c_str(), "", ".csv", "", header);
    if (path.empty()) {
        session.logError(failedMessage);
        return false;
    }
    std::lock_guard<std::mutex> lock(state.pathMutex);
    state.processDataPath = path;
    return true;
}

int sendHistogramStart(const SessionContext& session, AnalysisState& state, const nlohmann::json& request, int duration,
                       Kind kind, std::atomic<bool>& recordsToFile, bool withFile) {
    beginRun(state);
    const int status = callPlain(session, request);
    if (status != 0) {
        return status;
    }
    if (withFile) {
        recordsToFile = true;
    }
    startStopTimer(session, state, duration, kind);
    return 0;
}

int effectiveSamplingInterval(int samplingIntervalMs) {
    constexpr int kDefaultSamplingIntervalMs = 10;
    return samplingIntervalMs < 1 ? kDefaultSamplingIntervalMs : samplingIntervalMs;
}

void endEarlierRawRun(const SessionContext& session, AnalysisState& state) {
    stopAnalysisThreads(session, state);
    std::lock_guard<std::mutex> lock(state.rawBufferMutex);
    state.rawPoints.reset();
}

int sendRawDataStart(const SessionContext& session, AnalysisState& state, const nlohmann::json& request, int duration,
                     int samplingIntervalMs, const RawCacheMessages& messages, const std::string& rawPath, Kind kind) {
    beginRun(state);
    const int status = callPlain(session, request);
    if (status != 0) {
        return status;
    }
    startRawDataThreads(session, state, duration, samplingIntervalMs, messages, rawPath);
    startStopTimer(session, state, duration, kind);
    return 0;
}

}  // namespace vel::analysis
