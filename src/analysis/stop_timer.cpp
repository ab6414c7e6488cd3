// The analysis stop timer: one detached thread per start that ends its run
// after the duration. It holds only the handle and looks the session up again
// when it fires, so a destroyed session simply makes it do nothing.

#include "analysis/stop_timer.h"

#include "analysis/analysis_control.h"
#include "analysis/analysis_kinds.h"
#include "api/export_boundary.h"
#include "net/call_kinds.h"

#include <memory>
#include <thread>

namespace vel::analysis {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kProcessingPollInterval = std::chrono::milliseconds(20);

Clock::time_point saturatingDeadline(std::chrono::milliseconds wait) {
    const Clock::time_point now = Clock::now();
    if (wait > std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - now)) {
        return Clock::time_point::max();
    }
    return now + wait;
}

// Waits while the service still processes the n-fold coincidence analysis.
// False when the run ended meanwhile (the timer then stops nothing).
bool waitWhileCoincidencesProcess(uint64_t handle, uint64_t run, std::chrono::milliseconds limit) {
    const Clock::time_point started = Clock::now();
    for (;;) {
        if (!isRunActive(handle, run)) {
            return false;
        }
        bool processing = false;
        const int status = callWithBoolValue(handle, {{"cmd", "is_ncoins_analysis_processing"}}, &processing);
        if (status != 0 || !processing) {
            return true;
        }
        if (Clock::now() - started > limit) {
            return true;
        }
        std::this_thread::sleep_for(kProcessingPollInterval);
    }
}

int runStopTimer(uint64_t handle, uint64_t run, Clock::time_point deadline, std::chrono::milliseconds limit,
                 int kind) noexcept {
    try {
        std::this_thread::sleep_until(deadline);
        if (kind == kNCoincidences && !waitWhileCoincidencesProcess(handle, run, limit)) {
            return 0;
        }
        return stopAnalysisRun(handle, kind, run);
    } catch (const std::exception& e) {
        logOperationException(handle, "Analysis stop thread", e);
    } catch (...) {
        logOperationUnknownException(handle, "Analysis stop thread");
    }
    return -1;
}

}  // namespace

void beginRun(uint64_t handle) {
    withSessionVoid(handle, "Begin analysis run", [](InstInstance& session) {
        AnalysisState& state = session.analysis;
        // Waits for a stop routine in progress, so its stop command goes out
        // before this run's start command.
        std::lock_guard<std::mutex> lock(state.runMutex);
        state.runNumber.fetch_add(1);
        state.analysisStopped.store(false);
    });
}

bool isRunActive(uint64_t handle, uint64_t run) {
    return withSession(handle, false, "Analysis stop thread", [&](InstInstance& session) {
        return session.analysis.runNumber.load() == run && !session.analysis.analysisStopped.load();
    });
}

std::shared_future<int> launchStopTimer(uint64_t handle, std::chrono::milliseconds wait,
                                        std::chrono::milliseconds processingLimit, int kind) {
    const SessionPtr session = SessionRegistry::lookup(handle);
    if (!session) {
        return {};
    }
    const uint64_t run = session->analysis.runNumber.load();
    const Clock::time_point deadline = saturatingDeadline(wait);
    auto done = std::make_shared<std::promise<int>>();
    std::shared_future<int> result = done->get_future().share();
    // Detached: the timer holds only the handle, never the session, and ends
    // once it has fired. Nothing joins it.
    std::thread([handle, run, deadline, processingLimit, kind, done] {
        done->set_value(runStopTimer(handle, run, deadline, processingLimit, kind));
    }).detach();
    return result;
}

int startStopTimer(uint64_t handle, int durationSeconds, int kind) {
    if (durationSeconds <= 0) {
        return -1;
    }
    try {
        const std::chrono::seconds waitSeconds = std::chrono::seconds(durationSeconds) + std::chrono::seconds(2);
        const auto limit = std::chrono::milliseconds(waitSeconds.count() * 30000);
        return launchStopTimer(handle, waitSeconds, limit, kind).valid() ? 0 : -1;
    } catch (const std::exception& e) {
        logOperationException(handle, "Analysis stop thread", e);
    } catch (...) {
        logOperationUnknownException(handle, "Analysis stop thread");
    }
    return -1;
}

}  // namespace vel::analysis
