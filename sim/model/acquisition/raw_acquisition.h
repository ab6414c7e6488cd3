#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "sim/model/sources/event_sink.h"
#include "sim/model/common/fnv1a.h"
#include "sim/model/settings/measurement_config.h"
#include "sim/model/common/model_error.h"
#include "sim/model/acquisition/raw_record_format.h"
#include "sim/model/common/sim_clock.h"
#include "sim/model/acquisition/stream_pattern.h"
#include "sim/model/acquisition/volume_file_set.h"

namespace veltrano::sim {

// "data_mode" of "acq_rawdata".
enum class AcquisitionMode : int {
    Signal = 0,  // records of the signal model's events
    Stream = 1,  // pre-generated chunks handed out as fast as they are fetched (benchmarks)
};

struct AcquisitionRequest {
    std::int64_t dataMode = 0;
    std::int64_t durationS = 1;
    std::string folderPath;
    std::string fileName;          // empty: the stream is kept for fetching
    std::int64_t maxVolumeMib = 0;  // 0 or less: one volume without limit
    bool forceClose = false;       // volumes end exactly at the limit, even inside a record
};

enum class AcquisitionState {
    Idle,     // none since the simulator started
    Armed,    // started in signal mode, waiting for the time base restart that begins it
    Running,
    Ended,    // its duration passed (or the stream's byte limit was reached)
    Stopped,  // ended by "stop_acq", "reset_state" or the next start
};

struct AcquisitionStart {
    ModelError error = ModelError::None;
    std::string message;  // why, when refused
};

// One "fetch_rawdata" answer: a shared stream-mode chunk, or owned bytes (maybe none).
struct RawChunk {
    SharedBytes shared;
    std::vector<std::uint8_t> owned;

    std::size_t size() const { return shared ? shared->size() : owned.size(); }
};

enum class WaitOutcome { Ready, TimedOut, NothingToWaitFor };

// What "sim_acq_stats" reports about the current (or last) acquisition.
struct AcquisitionStats {
    std::uint64_t acquisition = 0;
    AcquisitionState state = AcquisitionState::Idle;
    std::int64_t dataMode = 0;
    int dataFormat = 0;
    std::int64_t durationS = 0;
    std::uint64_t events = 0;
    std::uint64_t bytesProduced = 0;
    std::uint64_t producedFnv1a64 = Fnv1a64::kOffsetBasis;
    std::uint64_t bytesFetched = 0;
    std::uint64_t fetchedFnv1a64 = Fnv1a64::kOffsetBasis;
    std::uint64_t bytesPending = 0;
    std::uint64_t bytesDropped = 0;
    std::uint64_t bytesWritten = 0;
    std::uint64_t writtenFnv1a64 = Fnv1a64::kOffsetBasis;
    std::vector<std::string> files;
    std::string fileError;
};

const char* stateName(AcquisitionState state);

// The instrument's raw acquisition: one at a time, shared by every connection.
// In signal mode it is an event sink that turns the events tagged from 0 up to
// its duration into records, kept for "fetch_rawdata" or written into volume
// files; in stream mode it hands out a pre-generated pattern chunk by chunk.
//
// Thread rules: every member below mutex_ is guarded by it. The sink calls come
// with the instrument's lock held (lock order: instrument, then this); no call
// here takes the instrument's lock. waitReady blocks on `changed_`, which every
// append, end and stop notifies.
class RawAcquisition final : public EventSink {
public:
    RawAcquisition(AcquisitionConfig config, StreamConfig stream, std::uint64_t seed,
                   std::shared_ptr<const SimClock> clock);

    // Ends any earlier acquisition (as stop) and starts a new one. A signal-mode
    // acquisition stays armed until the next time base restart, which begins it
    // at tag 0. A refused request leaves the earlier acquisition ended all the same.
    AcquisitionStart begin(const AcquisitionRequest& request);
    // Ends the acquisition (as its duration would) once its time line reaches
    // endPs, when that comes before its duration: the signal ends there.
    void endSignalBy(std::int64_t endPs);
    // Ends the running acquisition, closes its files and drops unfetched bytes.
    void stop();
    // The bytes produced since the last fetch (at most max_reply_bytes, whole
    // records), or the next stream chunk.
    RawChunk fetch();
    // True while the acquisition runs (until its duration has passed or it is stopped).
    bool processing();
    // Waits until data is ready (see sim/README.md), at most `timeout`.
    WaitOutcome waitReady(std::chrono::milliseconds timeout);
    AcquisitionStats stats();

    ModelError setDataFormat(std::int64_t format);  // refused while an acquisition runs
    int dataFormat() const;

    void onEvents(std::span<const Event> events) override;
    void onProgress(std::int64_t completeBeforePs) override;
    void onTimeBaseRestart(std::int64_t previousTimeBasePs) override;
    std::int64_t historyNeededPs() const override;

private:
    enum class Readiness { Ready, Later, Never };

    void endLocked(bool stopped);
    bool streamActiveLocked();
    RawChunk fetchStreamLocked();
    Readiness readinessLocked();
    AcquisitionStart openFiles(const AcquisitionRequest& request, RawDataFormat format,
                               std::unique_ptr<VolumeFileSet>& files) const;

    const AcquisitionConfig config_;
    const StreamConfig streamConfig_;
    const std::uint64_t seed_;
    const std::shared_ptr<const SimClock> clock_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    RawDataFormat formatSetting_ = RawDataFormat::TimeTags;
    SharedBytes pattern_;  // the stream mode's chunk, made on first use

    // The current (or last) acquisition.
    std::uint64_t number_ = 0;
    AcquisitionState state_ = AcquisitionState::Idle;
    AcquisitionMode mode_ = AcquisitionMode::Signal;
    RawDataFormat format_ = RawDataFormat::TimeTags;
    std::int64_t durationS_ = 0;
    std::int64_t endPs_ = 0;     // end of the acquisition's time line
    std::int64_t offsetPs_ = 0;  // added to tags: keeps the time line going over a "tdc_resetn"
    std::int64_t streamStartedPs_ = 0;
    std::uint32_t sequence_ = 0;
    std::uint64_t events_ = 0;
    std::uint64_t produced_ = 0;
    std::uint64_t fetched_ = 0;
    std::uint64_t dropped_ = 0;
    Fnv1a64 producedHash_;
    Fnv1a64 fetchedHash_;
    std::vector<std::uint8_t> pending_;
    std::unique_ptr<VolumeFileSet> files_;
};

}  // namespace veltrano::sim
