#pragma once
// The start-stop recording thread: it pulls the dual-stop pairs of every
// dual-stop start channel from the service every 20 ms into
// startstopRawBuffers, where the raw writer (file mode) or the caller's fetch
// (memory mode) takes them.

#include "core/session_context.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vel {
struct AnalysisState;
}

namespace vel::analysis {

// The thread body; the starter sets rawProducerActive before it starts it.
// Its starter holds the session until it ends: after duration + 2 s, on rawStopRequested
// (set by stopping the analysis threads, which then join it) or on a failed
// fetch. At its end it sets rawStopRequested, clears rawProducerActive (both
// under rawBufferMutex) and wakes every waiter of rawDataCond. Its pauses wait
// on rawDataCond, so a stop request ends them at once. Never throws.
void recordDualStops(const SessionContext& session, AnalysisState& state, int durationSeconds,
                     std::vector<int32_t> dualStartChannels) noexcept;

}  // namespace vel::analysis
