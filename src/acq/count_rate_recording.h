#pragma once
// Timed count-rate recording. The service samples the rates; the library asks
// it to start, waits for the duration (or a stop), then fetches the recorded
// rows and writes them after a header line into one CSV file. Single and
// coincidence rates are twins with their own state, commands and messages.
//
// Every recording is saved at most once: whoever first sets the saved flag
// (the timer at the end of the duration, or the stop function) saves it.

#include "core/worker_thread.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace vel {

class SessionContext;

// The state of one kind of recording in a session.
//
// The recording timer is a session-owned worker thread holding a shared
// reference to its session. It ends when the duration has passed (then saves,
// unless a stop saved first) or as soon as stopRequested is set (then it does
// not save). Starts and stops of the kind join it under controlMutex; the timer
// itself never takes controlMutex, so a join never waits on a lock it holds.
struct RateRecording {
    // Serialises the starts and stops of this kind, a stop's save included
    // (caller threads only); guards timer.
    std::mutex controlMutex;
    WorkerThread timer;

    // Guards stopRequested, folder and fileName; held only briefly, by caller
    // threads and the timer alike. stopSignal wakes the timer on a stop.
    std::mutex stateMutex;
    std::condition_variable stopSignal;
    bool stopRequested = false;
    // Where the next save writes: the folder and file name given to the last
    // start of this kind ("" when none was given).
    std::string folder;
    std::string fileName;

    // Changed only by atomic exchange; false in a new session.
    std::atomic<bool> saved{false};
};

// The recordings of one session: a member of InstInstance.
struct CountRateRecordingState {
    RateRecording single;
    RateRecording coins;
};

// The fixed texts of one kind of recording.
struct RateRecordingKind {
    const char* startCommand;
    const char* fetchCommand;
    const char* defaultFileName;
    const char* pathFailureMessage;
    const char* fetchFailureMessage;
    const char* writeFailureMessage;  // followed by the file's path
    const char* startOperation;       // log text of the start export's failures
    const char* saveOperation;        // log text of a save's (and the stop export's) failures
    const char* timerName;            // log text of the timer thread's failures
    RateRecording CountRateRecordingState::*state;
};

extern const RateRecordingKind kSingleRateRecording;
extern const RateRecordingKind kCoinsRateRecording;

// Starts a recording of duration seconds: ends (without saving) the kind's
// running timer, sends the start command and, when it answers 0, starts a new
// timer. Returns the start command's status. folder and fileName may be null.
// The caller has checked the duration.
int startRateRecording(const SessionContext& session, CountRateRecordingState& rates, const RateRecordingKind& kind,
                       int duration, const char* folder, const char* fileName);

// Ends the kind's timer and saves the recording unless it has been saved
// already (then 0, nothing sent).
int stopRateRecording(const SessionContext& session, CountRateRecordingState& rates, const RateRecordingKind& kind);

// Fetches the recorded rows and writes the CSV file: 0, or -1 when the session
// has no connection (not logged), the fetch is answered by JSON, no path can
// be formed, the file cannot be written or the exchange fails (logged).
int saveRateRecording(const SessionContext& session, CountRateRecordingState& rates,
                      const RateRecordingKind& kind) noexcept;

}  // namespace vel
