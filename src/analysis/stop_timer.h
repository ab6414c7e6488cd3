#pragma once
// The analysis stop timer behind startStopTimer, with its wait given directly
// so that tests need not wait whole seconds, and the stop it makes.
//
// The timer is the session's own thread (AnalysisState::stopTimer). It holds
// only the handle of its session and looks the session up again when it
// fires, so a destroyed session makes it do nothing. A newer start, a stop
// call, ci_destroy, ci_cleanup and the session's destruction wake and end a
// timer that is still waiting, without anything sent; one that is already
// stopping its run finishes that first.

#include "analysis/analysis_kinds.h"

#include <chrono>
#include <cstdint>
#include <future>

namespace vel {
class SessionContext;
struct AnalysisState;
}  // namespace vel

namespace vel::analysis {

// Starts the timer for the session's current run (ending the previous timer).
// After wait it stops that run with stopAnalysisRun; an n-fold coincidence
// timer first polls "is_ncoins_analysis_processing" every 20 ms for up to
// processingLimit while the service reports true. The future becomes ready
// when the timer has ended, with the stop routine's result (0 when it stopped
// nothing or was ended early).
std::shared_future<int> launchStopTimer(const SessionContext& session, AnalysisState& state,
                                        std::chrono::milliseconds wait, std::chrono::milliseconds processingLimit,
                                        Kind kind);

// Ends the session's timer if it still waits, and waits for it.
void endStopTimer(AnalysisState& state);

// The common stop routine for one run only: when run is no longer the
// session's current run, or that run has been stopped already, it returns 0
// and does nothing at all (no thread joined, nothing saved or sent).
int stopAnalysisRun(const SessionContext& session, AnalysisState& state, Kind kind, uint64_t run);

// True while run is the session's current run and has not been stopped.
bool isRunActive(const AnalysisState& state, uint64_t run);

}  // namespace vel::analysis
