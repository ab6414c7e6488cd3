#pragma once
// The stop timer behind startStopTimer, with its wait given directly so that
// tests need not wait whole seconds, and the stop it makes.

#include <chrono>
#include <cstdint>
#include <future>

namespace vel::analysis {

// Starts a detached timer for the session's current run. After wait it stops
// that run with stopAnalysisRun; an n-fold coincidence timer (kind 8) first
// polls "is_ncoins_analysis_processing" every 20 ms for up to processingLimit
// while the service reports true. The future becomes ready when the timer has
// ended, with the stop routine's result (0 when it stopped nothing). An
// invalid future for an unknown session.
std::shared_future<int> launchStopTimer(uint64_t handle, std::chrono::milliseconds wait,
                                        std::chrono::milliseconds processingLimit, int kind);

// The common stop routine for one run only: when run is no longer the
// session's current run, or that run has been stopped already, it returns 0
// and does nothing at all (no thread joined, nothing saved or sent).
int stopAnalysisRun(uint64_t handle, int kind, uint64_t run);

// True while run is the session's current run and has not been stopped.
bool isRunActive(uint64_t handle, uint64_t run);

}  // namespace vel::analysis
