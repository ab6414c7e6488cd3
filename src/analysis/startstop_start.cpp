#include "analysis/startstop_start.h"

#include "analysis/analysis_state.h"
#include "analysis/analysis_control.h"
#include "analysis/analysis_kinds.h"
#include "analysis/startstop_raw_writer.h"
#include "analysis/startstop_recording.h"
#include "core/string_utils.h"
#include "net/call_kinds.h"

#include <mutex>

namespace vel::analysis {

namespace {

// Steps after a successful start command. Both threads hold the session;
// stopAnalysisThreads sets rawStopRequested and joins the recording thread
// first, then the writer, which leaves once the recording has ended and its
// buffers are drained. analysisThreadMutex keeps the thread members whole
// against a concurrent stop.
void startDualStopThreads(const SessionContext& session, AnalysisState& state, int durationSeconds,
                          const std::vector<int32_t>& dualStartChannels, const std::string& folder,
                          const std::string& fileName) {
    std::lock_guard<std::mutex> threads(state.analysisThreadMutex);
    {
        std::lock_guard<std::mutex> lock(state.rawBufferMutex);
        state.rawStopRequested = false;
        state.rawWriterActive = false;
        state.rawProducerActive = true;
    }
    try {
        state.rawCacheThread = WorkerThread(
            [keep = shareSessionPart(session, state), &session, durationSeconds, dualStartChannels]() mutable {
                recordDualStops(session, *keep, durationSeconds, std::move(dualStartChannels));
                keep.reset();
            });
    } catch (...) {
        std::lock_guard<std::mutex> lock(state.rawBufferMutex);
        state.rawProducerActive = false;
        throw;
    }
    if (fileName.empty()) {
        return;
    }
    state.rawWriterActive = true;
    state.rawWriterThread = WorkerThread([keep = shareSessionPart(session, state), &session, dualStartChannels, folder,
                                          baseName = fileName + "_dual_stops"]() mutable {
        writeDualStops(session, *keep, std::move(dualStartChannels), std::move(folder), std::move(baseName));
        keep.reset();
    });
}

}  // namespace

int startStartStopAnalysis(const SessionContext& session, AnalysisState& state, StartStopGroups&& groups,
                           const StartStopOptions& options) {
    const std::string folder = ksq::CStringUtils::safe_string(options.folderPath);
    const std::string fileName = ksq::CStringUtils::safe_string(options.fileName);
    const nlohmann::json request = {
        {"cmd", "startstop_analysis"},
        {"duration", options.durationSeconds},
        {"chan_groups", std::move(groups.chanGroups)},
        {"dual_stops_groups", std::move(groups.dualStopsGroups)},
        {"coins_time_window", options.coinsTimeWindow},
        {"enable_t3_data", static_cast<int>(options.enableT3Data)},
        {"folder_path", folder},
        {"file_name", fileName},
    };

    stopAnalysisThreads(session, state);
    {
        std::lock_guard<std::mutex> lock(state.rawBufferMutex);
        state.startstopRawBuffers.clear();
    }
    {
        std::lock_guard<std::mutex> lock(state.pathMutex);
        state.analysisFolder = folder;
        state.analysisFileName = fileName;
        state.startstopChanGroups = std::move(groups.stopChannels);
    }
    state.t3Enabled = options.enableT3Data == 1;
    state.t3ToFile = false;

    beginRun(state);
    const int status = callPlain(session, request);
    if (status != 0) {
        return status;
    }
    if (!fileName.empty()) {
        state.t3ToFile = true;
    }
    startDualStopThreads(session, state, options.durationSeconds, groups.dualStartChannels, folder, fileName);
    startStopTimer(session, state, options.durationSeconds, Kind::StartStop);
    return 0;
}

}  // namespace vel::analysis
