// The memory-mode raw fetch: hands the caller the raw points buffered so far,
// each point once, waiting a while for some when none are there yet.

#include "analysis/analysis_control.h"
#include "analysis/analysis_state.h"
#include "core/session_context.h"

#include <chrono>

namespace vel::analysis {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPollInterval = std::chrono::milliseconds(20);

}  // namespace

int64_t* fetchBufferedPoints(const SessionContext& session, AnalysisState& state, int* count, int timeoutMs,
                             const std::function<bool(AnalysisState&, PointList&)>& take) {
    if (count) {
        *count = 0;
    }
    return guardOperation(session, static_cast<int64_t*>(nullptr), "Fetch RAW analysis data", [&]() -> int64_t* {
        if (state.rawWriterActive.load()) {
            return nullptr;  // raw data goes to the file
        }
        const Clock::time_point started = Clock::now();
        PointList points;
        std::unique_lock<std::mutex> lock(state.rawBufferMutex);
        for (;;) {
            if (!take(state, points)) {
                return nullptr;
            }
            if (!points.empty()) {
                lock.unlock();
                return toIntegerPairArray(points, count);
            }
            // Points still buffered after a stop are handed out
            // above; only an ended producer means none will come.
            if (state.rawStopRequested.load() && !state.rawProducerActive) {
                return nullptr;
            }
            if (Clock::now() - started > std::chrono::milliseconds(timeoutMs)) {
                return nullptr;
            }
            state.rawDataCond.wait_for(lock, kPollInterval);
        }
    });
}

int64_t* fetchBufferedRawPoints(const SessionContext& session, AnalysisState& state, int* count, int timeoutMs) {
    return fetchBufferedPoints(session, state, count, timeoutMs, [](AnalysisState& state, PointList& points) {
        if (!state.rawPoints) {
            return false;
        }
        points.swap(*state.rawPoints);
        return true;
    });
}

}  // namespace vel::analysis
