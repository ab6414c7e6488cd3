#include "analysis/run_start.h"

#include "analysis/analysis_control.h"
#include "analysis/analysis_state.h"
#include "api/output_file.h"
#include "api/session_log.h"
#include "net/call_kinds.h"

#include <mutex>

namespace vel::analysis {

bool prepareProcessDataFile(uint64_t handle, AnalysisState& state, const std::string& folder,
                            const std::string& fileName, const char* header, const char* failedMessage) {
    {
        std::lock_guard<std::mutex> lock(state.pathMutex);
        state.processDataPath.clear();
    }
    if (fileName.empty()) {
        return true;
    }
    const std::string path = createOutputFile(handle, folder.c_str(), fileName.c_str(), "", ".csv", "", header);
    if (path.empty()) {
        logError(handle, failedMessage);
        return false;
    }
    std::lock_guard<std::mutex> lock(state.pathMutex);
    state.processDataPath = path;
    return true;
}

int sendHistogramStart(uint64_t handle, const nlohmann::json& request, int duration, int kind,
                       std::atomic<bool>& recordsToFile, bool withFile) {
    beginRun(handle);
    const int status = callPlain(handle, request);
    if (status != 0) {
        return status;
    }
    if (withFile) {
        recordsToFile = true;
    }
    startStopTimer(handle, duration, kind);
    return 0;
}

int effectiveSamplingInterval(int samplingIntervalMs) {
    constexpr int kDefaultSamplingIntervalMs = 10;
    return samplingIntervalMs < 1 ? kDefaultSamplingIntervalMs : samplingIntervalMs;
}

void endEarlierRawRun(uint64_t handle, AnalysisState& state) {
    stopAnalysisThreads(handle);
    std::lock_guard<std::mutex> lock(state.rawBufferMutex);
    state.rawPoints.reset();
}

int sendRawDataStart(uint64_t handle, const nlohmann::json& request, int duration, int samplingIntervalMs,
                     const RawCacheMessages& messages, const std::string& rawPath, int kind) {
    beginRun(handle);
    const int status = callPlain(handle, request);
    if (status != 0) {
        return status;
    }
    startRawDataThreads(handle, duration, samplingIntervalMs, messages, rawPath);
    startStopTimer(handle, duration, kind);
    return 0;
}

}  // namespace vel::analysis
