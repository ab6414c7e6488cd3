// Ending the raw threads of a session: the raw cache (or start-stop recording)
// thread first, then the raw writer, so the writer sees every point the
// producer appended before it ended.

#include "analysis/analysis_control.h"
#include "analysis/analysis_state.h"
#include "core/session_context.h"

namespace vel::analysis {

int stopAnalysisThreads(const SessionContext& session, AnalysisState& state) {
    return guardOperation(session, -1, "Stop analysis thread", [&]() {
        std::lock_guard<std::mutex> threadLock(state.analysisThreadMutex);
        {
            // Set under the buffer lock so no waiter misses it between its
            // check and its wait.
            std::lock_guard<std::mutex> lock(state.rawBufferMutex);
            state.rawStopRequested.store(true);
        }
        state.rawDataCond.notify_all();
        state.rawCacheThread.join();
        state.rawCacheThread = WorkerThread();
        state.rawWriterThread.join();
        state.rawWriterThread = WorkerThread();
        state.rawWriterActive.store(false);
        return 0;
    });
}

}  // namespace vel::analysis
