// The raw cache thread of the period and A/D analyses: it polls
// "fetch_analysis_rawdata" at the sampling interval and appends the points to
// the session's raw buffer, for the raw writer (file mode) or the memory-mode
// fetch.
//
// The thread holds a shared reference to its session. Its pauses wait on
// rawDataCond, so a stop request wakes it at once. It ends when a stop is
// requested, a fetch fails or duration + 2 s have passed; then, under
// rawBufferMutex, it sets rawStopRequested, clears rawProducerActive and wakes
// every waiter, so the writer drains the buffer and memory fetches stop
// waiting. stopAnalysisThreads joins it under analysisThreadMutex.

#include "analysis/analysis_control.h"
#include "analysis/analysis_state.h"
#include "analysis/point_list_fetch.h"
#include "core/session_context.h"
#include "net/call_kinds.h"

#include <chrono>
#include <memory>

namespace vel::analysis {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kFirstFetchDelay = std::chrono::milliseconds(200);

// Waits for a while or until a stop is requested; true when stopped.
bool pauseUnlessStopped(AnalysisState& state, Clock::duration pause) {
    std::unique_lock<std::mutex> lock(state.rawBufferMutex);
    return state.rawDataCond.wait_for(lock, pause, [&] { return state.rawStopRequested.load(); });
}

void appendRawPoints(AnalysisState& state, PointList& points) {
    {
        std::lock_guard<std::mutex> lock(state.rawBufferMutex);
        if (state.rawPoints) {
            state.rawPoints->insert(state.rawPoints->end(), points.begin(), points.end());
        }
    }
    state.rawDataCond.notify_one();
}

void cacheRawPoints(const SessionContext& session, AnalysisState& state, int durationSeconds, int samplingIntervalMs,
                    const RawCacheMessages& messages) {
    if (pauseUnlessStopped(state, kFirstFetchDelay)) {
        return;
    }
    const Clock::time_point started = Clock::now();
    const auto timeLimit = std::chrono::seconds(static_cast<int64_t>(durationSeconds) + 2);
    const nlohmann::json request = {{"cmd", "fetch_analysis_rawdata"}};
    while (!state.rawStopRequested.load()) {
        PointList points;
        if (fetchRawAnalysisData(session, request, points) == -1) {
            session.logError(messages.fetchFailed);
            return;
        }
        if (!points.empty()) {
            appendRawPoints(state, points);
        }
        if (samplingIntervalMs > 0 && pauseUnlessStopped(state, std::chrono::milliseconds(samplingIntervalMs))) {
            return;
        }
        if (std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started) >= timeLimit) {
            session.log(spdlog::level::info, messages.timeLimitReached);
            return;
        }
    }
}

void runRawCache(const SessionContext& session, AnalysisState& state, int durationSeconds, int samplingIntervalMs,
                 RawCacheMessages messages) noexcept {
    guardOperation(session, 0, messages.threadName, [&] {
        cacheRawPoints(session, state, durationSeconds, samplingIntervalMs, messages);
        return 0;
    });
    {
        std::lock_guard<std::mutex> lock(state.rawBufferMutex);
        state.rawStopRequested.store(true);
        state.rawProducerActive = false;
    }
    state.rawDataCond.notify_all();
}

}  // namespace

int fetchRawAnalysisData(const SessionContext& session, const nlohmann::json& request, PointList& points) {
    return guardOperation(session, -1, "Fetch RAW analysis data", [&]() {
        if (!session.connection) {
            return -1;
        }
        return fetchPointList(session, request, "Fetch raw data failed", points) ? 0 : -1;
    });
}

void startRawDataThreads(const SessionContext& session, AnalysisState& state, int durationSeconds,
                         int samplingIntervalMs, const RawCacheMessages& messages, const std::string& rawPath) {
    guardOperation(session, 0, messages.threadName, [&]() {
        {
            std::lock_guard<std::mutex> threadLock(state.analysisThreadMutex);
            {
                std::lock_guard<std::mutex> lock(state.rawBufferMutex);
                state.rawStopRequested.store(false);
                state.rawWriterActive.store(false);
                state.rawPoints = std::make_shared<PointList>();
                state.rawProducerActive = true;
            }
            try {
                state.rawCacheThread = WorkerThread(
                    [keep = shareSessionPart(session, state), &session, durationSeconds, samplingIntervalMs, messages] {
                        runRawCache(session, *keep, durationSeconds, samplingIntervalMs, messages);
                    });
            } catch (...) {
                std::lock_guard<std::mutex> lock(state.rawBufferMutex);
                state.rawProducerActive = false;
                throw;
            }
        }
        if (!rawPath.empty()) {
            startRawWriter(session, state, rawPath);
        }
        return 0;
    });
}

}  // namespace vel::analysis
