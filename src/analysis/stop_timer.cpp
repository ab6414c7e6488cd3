// The analysis stop timer: the session's own thread that ends a run after its
// duration. It holds only the handle and looks the session up again when it
// fires, so a destroyed session simply makes it do nothing.

#include "analysis/stop_timer.h"

#include "analysis/analysis_control.h"
#include "analysis/analysis_state.h"
#include "core/session_context.h"
#include "net/call_kinds.h"

#include <memory>

namespace vel::analysis {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kProcessingPollInterval = std::chrono::milliseconds(20);
constexpr std::string_view kTimerName = "Analysis stop thread";

Clock::time_point saturatingDeadline(std::chrono::milliseconds wait) {
    const Clock::time_point now = Clock::now();
    if (wait > std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - now)) {
        return Clock::time_point::max();
    }
    return now + wait;
}

// Waits while the service still processes the n-fold coincidence analysis.
// False when the run ended or the timer was told to end meanwhile (the timer
// then stops nothing).
bool waitWhileCoincidencesProcess(const SessionContext& session, AnalysisState& state, CancellableThread& timer,
                                  uint64_t run, std::chrono::milliseconds limit) {
    const Clock::time_point started = Clock::now();
    for (;;) {
        if (!isRunActive(state, run)) {
            return false;
        }
        bool processing = false;
        const int status = callWithBoolValue(session, {{"cmd", "is_ncoins_analysis_processing"}}, &processing);
        if (status != 0 || !processing) {
            return true;
        }
        if (Clock::now() - started > limit) {
            return true;
        }
        if (!timer.waitUntil(Clock::now() + kProcessingPollInterval)) {
            return false;
        }
    }
}

// The timer's whole life. The session's context and state outlive it: the
// session joins its timer before they go.
int runStopTimer(const SessionContext& owner, AnalysisState& state, CancellableThread& timer, uint64_t run,
                 Clock::time_point deadline, std::chrono::milliseconds limit, Kind kind) noexcept {
    return guardOperation(owner, -1, kTimerName, [&] {
        if (!timer.waitUntil(deadline)) {
            return 0;
        }
        const std::shared_ptr<SessionContext> session = owner.lookUpAgain();
        if (!session) {
            return 0;  // destroyed meanwhile
        }
        if (kind == Kind::NCoincidences && !waitWhileCoincidencesProcess(*session, state, timer, run, limit)) {
            return 0;
        }
        return stopAnalysisRun(*session, state, kind, run);
    });
}

}  // namespace

void beginRun(AnalysisState& state) {
    // Waits for a stop routine in progress, so its stop command goes out
    // before this run's start command.
    std::lock_guard<std::mutex> lock(state.runMutex);
    state.runNumber.fetch_add(1);
    state.analysisStopped.store(false);
}

bool isRunActive(const AnalysisState& state, uint64_t run) {
    return state.runNumber.load() == run && !state.analysisStopped.load();
}

std::shared_future<int> launchStopTimer(const SessionContext& session, AnalysisState& state,
                                        std::chrono::milliseconds wait, std::chrono::milliseconds processingLimit,
                                        Kind kind) {
    const uint64_t run = state.runNumber.load();
    const Clock::time_point deadline = saturatingDeadline(wait);
    auto done = std::make_shared<std::promise<int>>();
    std::shared_future<int> result = done->get_future().share();
    state.stopTimer.start([&session, &state, run, deadline, processingLimit, kind, done](CancellableThread& timer) {
        done->set_value(runStopTimer(session, state, timer, run, deadline, processingLimit, kind));
    });
    return result;
}

void endStopTimer(AnalysisState& state) {
    state.stopTimer.cancelAndJoin();
}

int startStopTimer(const SessionContext& session, AnalysisState& state, int durationSeconds, Kind kind) {
    if (durationSeconds <= 0) {
        return -1;
    }
    return guardOperation(session, -1, kTimerName, [&] {
        const std::chrono::seconds waitSeconds = std::chrono::seconds(durationSeconds) + std::chrono::seconds(2);
        const auto limit = std::chrono::milliseconds(waitSeconds.count() * 30000);
        launchStopTimer(session, state, waitSeconds, limit, kind);
        return 0;
    });
}

}  // namespace vel::analysis
