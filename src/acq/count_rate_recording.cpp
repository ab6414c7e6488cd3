#include "acq/count_rate_recording.h"

#include "core/io_utils.h"
#include "core/output_file_path.h"
#include "core/session_context.h"
#include "core/string_utils.h"
#include "net/call_kinds.h"

#include <chrono>
#include <memory>

namespace vel {

const RateRecordingKind kSingleRateRecording = {
    "start_single_cps_recording",
    "get_singlecps_data",
    "single_cps",
    "Create output file path failed for single cps",
    "Fetch single cps data failed",
    "Write single cps file failed: ",
    "Output single cps",
    "Stop single cps recording",
    "Output single cps thread",
    &CountRateRecordingState::single,
};

const RateRecordingKind kCoinsRateRecording = {
    "start_coins_cps_recording",
    "get_coinscps_data",
    "coins_cps",
    "Create output file path failed for cois cps",
    "Fetch coins cps data failed",
    "Write coins cps file failed: ",
    "Output coins cps",
    "Stop coins cps recording",
    "Output coins cps thread",
    &CountRateRecordingState::coins,
};

namespace {

constexpr const char* kRecordingExtension = ".csv";
constexpr const char* kRecordingHeader = "timestamp, channel_no, cps";

RateRecording& recordingOf(CountRateRecordingState& rates, const RateRecordingKind& kind) {
    return rates.*kind.state;
}

// Asks the running timer (if any) to end, waits for it and releases it. The
// caller holds the recording's controlMutex.
void endTimer(RateRecording& recording) {
    {
        std::lock_guard<std::mutex> lock(recording.stateMutex);
        recording.stopRequested = true;
    }
    recording.stopSignal.notify_all();
    recording.timer.join();
    recording.timer = WorkerThread();
}

// True when the duration passed, false when a stop was requested first.
bool waitForDuration(RateRecording& recording, std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(recording.stateMutex);
    const bool stopped = recording.stopSignal.wait_until(lock, deadline, [&] { return recording.stopRequested; });
    return !stopped;
}

// The recording timer's whole life: wait, then save unless someone saved first.
void runTimer(const SessionContext& session, CountRateRecordingState& rates, const RateRecordingKind& kind,
              std::chrono::steady_clock::time_point deadline) noexcept {
    guardOperation(session, 0, kind.timerName, [&] {
        RateRecording& recording = recordingOf(rates, kind);
        if (waitForDuration(recording, deadline) && !recording.saved.exchange(true)) {
            saveRateRecording(session, rates, kind);
        }
        return 0;
    });
}

}  // namespace

int startRateRecording(const SessionContext& session, CountRateRecordingState& rates, const RateRecordingKind& kind,
                       int duration, const char* folder, const char* fileName) {
    RateRecording& recording = recordingOf(rates, kind);
    std::lock_guard<std::mutex> control(recording.controlMutex);

    // The earlier recording of this kind ends unsaved. It ends before the new
    // names are stored, so a timer that is saving right now still writes the
    // file its own start asked for.
    endTimer(recording);
    {
        std::lock_guard<std::mutex> lock(recording.stateMutex);
        recording.folder = ksq::CStringUtils::safe_string(folder);
        recording.fileName = ksq::CStringUtils::safe_string(fileName);
    }

    const int status = callPlain(session, {{"cmd", kind.startCommand}});
    if (status != 0) {
        return status;
    }

    {
        std::lock_guard<std::mutex> lock(recording.stateMutex);
        recording.stopRequested = false;
    }
    recording.saved.store(false);

    // The timer holds the session until it ends (at the deadline or on a stop,
    // whichever comes first); starts and stops of this kind join it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(duration);
    recording.timer = WorkerThread([keep = shareSessionPart(session, rates), &session, &kind, deadline] {
        runTimer(session, *keep, kind, deadline);
    });
    return 0;
}

int stopRateRecording(const SessionContext& session, CountRateRecordingState& rates, const RateRecordingKind& kind) {
    RateRecording& recording = recordingOf(rates, kind);
    // Held through the save, so a start on another thread cannot slip a new
    // recording in between the end of this one and its fetch.
    std::lock_guard<std::mutex> control(recording.controlMutex);
    endTimer(recording);
    if (recording.saved.exchange(true)) {
        return 0;
    }
    return saveRateRecording(session, rates, kind);
}

int saveRateRecording(const SessionContext& session, CountRateRecordingState& rates,
                      const RateRecordingKind& kind) noexcept {
    if (!session.connection) {
        return -1;
    }
    return guardOperation(session, -1, kind.saveOperation, [&] {
        const CommandResponse response = exchange(session, {{"cmd", kind.fetchCommand}});
        if (response.isJson()) {
            session.logError(kind.fetchFailureMessage);
            return -1;
        }

        RateRecording& recording = recordingOf(rates, kind);
        std::string folder;
        std::string fileName;
        {
            std::lock_guard<std::mutex> lock(recording.stateMutex);
            folder = recording.folder;
            fileName = recording.fileName;
        }
        const std::string path = makeOutputFilePath(folder.c_str(), fileName.c_str(), kRecordingExtension, "",
                                                    session.baseDir, kind.defaultFileName);
        if (path.empty()) {
            session.logError(kind.pathFailureMessage);
            return -1;
        }
        // The service formats the rows; they are stored exactly as received.
        if (!ksq::CIOUtils::writeFile(path, kRecordingHeader, response.getBinary(), false)) {
            session.logError(std::string(kind.writeFailureMessage) + path);
            return -1;
        }
        return 0;
    });
}

}  // namespace vel
