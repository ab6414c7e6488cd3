#pragma once
// The start-stop recording thread: it pulls the dual-stop pairs of every
// dual-stop start channel from the service every 20 ms into
// startstopRawBuffers, where the raw writer (file mode) or the caller's fetch
// (memory mode) takes them.

#include "api/export_boundary.h"

#include <cstdint>
#include <memory>
#include <vector>

class InstInstance;

namespace vel::analysis {

// Runs a worker thread's work, logging what escapes it as "<threadName>
// exception: ..." or "<threadName> unknown exception".
template <class Work>
void runLoggingExceptions(uint64_t handle, const char* threadName, Work&& work) noexcept {
    try {
        work();
    } catch (const std::exception& e) {
        logOperationException(handle, threadName, e);
    } catch (...) {
        logOperationUnknownException(handle, threadName);
    }
}

// The thread body; the starter sets rawProducerActive before it starts it.
// Holds the session until it ends: after duration + 2 s, on rawStopRequested
// (set by stopping the analysis threads, which then join it) or on a failed
// fetch. At its end it sets rawStopRequested, clears rawProducerActive (both
// under rawBufferMutex) and wakes every waiter of rawDataCond. Its pauses wait
// on rawDataCond, so a stop request ends them at once. Never throws.
void recordDualStops(std::shared_ptr<InstInstance> session, uint64_t handle, int durationSeconds,
                     std::vector<int32_t> dualStartChannels) noexcept;

}  // namespace vel::analysis
