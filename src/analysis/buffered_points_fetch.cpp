// The memory-mode raw fetch: hands the caller the raw points buffered so far,
// each point once, waiting a while for some when none are there yet.

#include "analysis/analysis_control.h"
#include "api/export_boundary.h"

#include <chrono>

namespace vel::analysis {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPollInterval = std::chrono::milliseconds(20);

}  // namespace

int64_t* fetchBufferedPoints(uint64_t handle, int* count, int timeoutMs,
                             const std::function<bool(AnalysisState&, PointList&)>& take) {
    if (count) {
        *count = 0;
    }
    return withSession(handle, static_cast<int64_t*>(nullptr), "Fetch RAW analysis data",
                       [&](InstInstance& session) -> int64_t* {
                           AnalysisState& state = session.analysis;
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

int64_t* fetchBufferedRawPoints(uint64_t handle, int* count, int timeoutMs) {
    return fetchBufferedPoints(handle, count, timeoutMs, [](AnalysisState& state, PointList& points) {
        if (!state.rawPoints) {
            return false;
        }
        points.swap(*state.rawPoints);
        return true;
    });
}

}  // namespace vel::analysis
