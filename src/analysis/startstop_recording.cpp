#include "analysis/startstop_recording.h"

#include "analysis/analysis_state.h"
#include "analysis/analysis_control.h"

#include <chrono>
#include <mutex>

namespace vel::analysis {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kThreadName = "Start-stop RAW data recording thread";
constexpr const char* kFetchFailed = "Fetch raw data failed, stopping start-stop analysis thread";
constexpr const char* kTimeLimitReached =
    "Thread duration timeout reached, stopping start-stop analysis RAW data recording thread";
constexpr auto kFirstFetchDelay = std::chrono::milliseconds(200);
constexpr auto kPollInterval = std::chrono::milliseconds(20);
// The service keeps recording a little longer than the duration.
constexpr auto kGraceTime = std::chrono::seconds(2);

// Pauses until deadline; true when a stop was requested (before or during).
bool waitForStopRequest(AnalysisState& state, Clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(state.rawBufferMutex);
    return state.rawDataCond.wait_until(lock, deadline, [&] { return state.rawStopRequested.load(); });
}

void appendPairs(AnalysisState& state, int32_t startChan, const PointList& pairs) {
    {
        std::lock_guard<std::mutex> lock(state.rawBufferMutex);
        auto& buffer = state.startstopRawBuffers[startChan];
        if (!buffer) {
            buffer = std::make_shared<PointList>();
        }
        buffer->insert(buffer->end(), pairs.begin(), pairs.end());
    }
    // All waiters: a caller's fetch of another channel may wait beside the writer.
    state.rawDataCond.notify_all();
}

void recordUntilDone(const SessionContext& session, AnalysisState& state, int durationSeconds,
                     const std::vector<int32_t>& dualStartChannels) {
    if (waitForStopRequest(state, Clock::now() + kFirstFetchDelay)) {
        return;
    }
    const auto limit = std::chrono::seconds(durationSeconds) + kGraceTime;
    const auto startTime = Clock::now();

    std::vector<nlohmann::json> requests;
    requests.reserve(dualStartChannels.size());
    for (int32_t startChan : dualStartChannels) {
        requests.push_back({{"cmd", "fetch_startstop_dualstops_rawdata"}, {"start_chan", startChan}});
    }

    while (!state.rawStopRequested) {
        for (size_t i = 0; i < requests.size(); ++i) {
            PointList pairs;
            if (fetchRawAnalysisData(session, requests[i], pairs) != 0) {
                session.logError(kFetchFailed);
                return;
            }
            if (!pairs.empty()) {
                appendPairs(state, dualStartChannels[i], pairs);
            }
        }
        if (waitForStopRequest(state, Clock::now() + kPollInterval)) {
            return;
        }
        if (std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - startTime) >= limit) {
            session.log(spdlog::level::info, kTimeLimitReached);
            return;
        }
    }
}

}  // namespace

void recordDualStops(const SessionContext& session, AnalysisState& state, int durationSeconds,
                     std::vector<int32_t> dualStartChannels) noexcept {
    guardOperation(session, 0, kThreadName, [&] {
        recordUntilDone(session, state, durationSeconds, dualStartChannels);
        return 0;
    });
    {
        std::lock_guard<std::mutex> lock(state.rawBufferMutex);
        state.rawStopRequested = true;
        state.rawProducerActive = false;
    }
    state.rawDataCond.notify_all();
}

}  // namespace vel::analysis
