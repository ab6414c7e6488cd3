#pragma once
// The start of a start-stop analysis once its channel groups are read: stop
// the previous raw threads, send "startstop_analysis", start the recording
// thread (and in file mode the raw writer) and the stop timer.

#include "analysis/startstop_request.h"

#include <cstdint>

namespace vel {
class SessionContext;
struct AnalysisState;
}  // namespace vel

namespace vel::analysis {

struct StartStopOptions {
    int durationSeconds;
    int coinsTimeWindow;
    uint8_t enableT3Data;
    const char* folderPath;  // may be null
    const char* fileName;    // may be null; empty = memory mode
};

// Returns 0, the start command's non-zero status, or -1 (failed exchange).
// Throws only what building the request or starting a thread throws.
int startStartStopAnalysis(const SessionContext& session, AnalysisState& state, StartStopGroups&& groups,
                           const StartStopOptions& options);

}  // namespace vel::analysis
