#include "sim/model/acquisition/raw_acquisition.h"

#include <algorithm>
#include <stdexcept>

#include "sim/model/acquisition/service_paths.h"

namespace veltrano::sim {
namespace {

constexpr std::int64_t kSecondPs = 1'000'000'000'000;
constexpr std::int64_t kMaxDurationS = 1'000'000;
constexpr std::int64_t kMaxVolumeMib = std::int64_t{1} << 30;  // keeps the byte count far from overflow

const char* extensionFor(RawDataFormat format) {
    switch (format) {
        case RawDataFormat::TimeTags: return ".bin";
        case RawDataFormat::TimeTagsWithPulses: return ".dat";
        case RawDataFormat::CsvText: return ".csv";
    }
    return ".bin";
}

}  // namespace

const char* stateName(AcquisitionState state) {
    switch (state) {
        case AcquisitionState::Idle: return "idle";
        case AcquisitionState::Armed:
        case AcquisitionState::Running: return "running";
        case AcquisitionState::Ended: return "ended";
        case AcquisitionState::Stopped: return "stopped";
    }
    return "idle";
}

RawAcquisition::RawAcquisition(AcquisitionConfig config, StreamConfig stream, std::uint64_t seed,
                               std::shared_ptr<const SimClock> clock)
    : config_(std::move(config)), stream_config_(stream), seed_(seed), clock_(std::move(clock)) {}

AcquisitionStart RawAcquisition::openFiles(const AcquisitionRequest& request, RawDataFormat format,
                                           std::unique_ptr<VolumeFileSet>& files) const {
    std::string name = request.file_name;
    if (std::filesystem::path(name).extension().empty()) name += extensionFor(format);
    const std::filesystem::path first = resolveServicePath(config_.data_dir, request.folder_path) / name;
    const std::int64_t mib = std::min(request.max_volume_mib, kMaxVolumeMib);
    const std::uint64_t max_bytes = mib > 0 ? static_cast<std::uint64_t>(mib) << 20 : 0;
    try {
        files = std::make_unique<VolumeFileSet>(first, max_bytes, request.force_close);
    } catch (const std::exception& e) {
        return {ModelError::FileError, e.what()};
    }
    return {};
}

AcquisitionStart RawAcquisition::begin(const AcquisitionRequest& request) {
    stop();
    if (request.data_mode != static_cast<int>(AcquisitionMode::Signal) &&
        request.data_mode != static_cast<int>(AcquisitionMode::Stream)) {
        return {ModelError::ValueOutOfRange, "data_mode must be 0 (signal) or 1 (stream)"};
    }
    if (request.duration_s < 1 || request.duration_s > kMaxDurationS) {
        return {ModelError::ValueOutOfRange, "duration must be 1.." + std::to_string(kMaxDurationS) + " s"};
    }
    const auto mode = static_cast<AcquisitionMode>(request.data_mode);
    if (mode == AcquisitionMode::Stream && !request.file_name.empty()) {
        return {ModelError::ValueOutOfRange, "the stream mode serves fetch_rawdata only: no file_name"};
    }

    const RawDataFormat format = static_cast<RawDataFormat>(dataFormat());
    std::unique_ptr<VolumeFileSet> files;
    if (!request.file_name.empty()) {
        if (AcquisitionStart refused = openFiles(request, format, files); refused.error != ModelError::None) {
            return refused;
        }
    }
    SharedBytes pattern;
    if (mode == AcquisitionMode::Stream) {
        std::lock_guard lock(mutex_);
        pattern = pattern_;
    }
    if (mode == AcquisitionMode::Stream && (!pattern || pattern->size() != stream_config_.chunk_bytes)) {
        pattern = makeStreamPattern(seed_, static_cast<std::size_t>(stream_config_.chunk_bytes));
    }

    std::lock_guard lock(mutex_);
    endLocked(true);  // a start from another connection may have slipped in
    ++number_;
    state_ = mode == AcquisitionMode::Signal ? AcquisitionState::Armed : AcquisitionState::Running;
    mode_ = mode;
    format_ = format;
    duration_s_ = request.duration_s;
    end_ps_ = request.duration_s * kSecondPs;
    offset_ps_ = 0;
    stream_started_ps_ = clock_->nowPs();
    sequence_ = 0;
    events_ = produced_ = fetched_ = dropped_ = 0;
    produced_hash_ = Fnv1a64();
    fetched_hash_ = Fnv1a64();
    pending_ = {};
    files_ = std::move(files);
    if (pattern) pattern_ = std::move(pattern);
    changed_.notify_all();
    return {};
}

void RawAcquisition::stop() {
    std::lock_guard lock(mutex_);
    endLocked(true);
}

void RawAcquisition::endLocked(bool stopped) {
    if (state_ == AcquisitionState::Armed || state_ == AcquisitionState::Running) {
        state_ = stopped ? AcquisitionState::Stopped : AcquisitionState::Ended;
        if (files_) files_->close();
    }
    if (stopped) {
        dropped_ += pending_.size();
        pending_ = {};
    }
    changed_.notify_all();
}

void RawAcquisition::onEvents(std::span<const Event> events) {
    std::lock_guard lock(mutex_);
    if (state_ != AcquisitionState::Running || mode_ != AcquisitionMode::Signal) return;
    unsigned char record[kMaxRawRecordBytes];
    bool appended = false;
    for (const Event& e : events) {
        const std::int64_t t = e.time_ps + offset_ps_;
        if (t >= end_ps_) break;  // events come in time order
        const std::size_t n = encodeRawRecord(format_, e, t, sequence_++, record);
        ++events_;
        produced_ += n;
        produced_hash_.update(record, n);
        if (files_) {
            files_->writeRecord({record, n});
        } else if (pending_.size() + n > config_.buffer_limit_bytes) {
            dropped_ += n;
        } else {
            pending_.insert(pending_.end(), record, record + n);
            appended = true;
        }
    }
    if (appended) changed_.notify_all();
}

void RawAcquisition::onProgress(std::int64_t complete_before_ps) {
    std::lock_guard lock(mutex_);
    if (state_ != AcquisitionState::Running || mode_ != AcquisitionMode::Signal) return;
    if (files_) files_->flush();
    if (complete_before_ps + offset_ps_ >= end_ps_) endLocked(false);
}

void RawAcquisition::endSignalBy(std::int64_t end_ps) {
    std::lock_guard lock(mutex_);
    end_ps_ = std::min(end_ps_, end_ps);
}

void RawAcquisition::onTimeBaseRestart(std::int64_t previous_time_base_ps) {
    std::lock_guard lock(mutex_);
    if (mode_ != AcquisitionMode::Signal) return;
    if (state_ == AcquisitionState::Armed) {
        state_ = AcquisitionState::Running;
        offset_ps_ = 0;
    } else if (state_ == AcquisitionState::Running) {
        offset_ps_ += previous_time_base_ps;
    }
}

std::int64_t RawAcquisition::historyNeededPs() const {
    std::lock_guard lock(mutex_);
    return state_ == AcquisitionState::Running && mode_ == AcquisitionMode::Signal ? kEveryEvent : 0;
}

bool RawAcquisition::streamActiveLocked() {
    if (state_ != AcquisitionState::Running) return false;
    const bool limit_reached = stream_config_.total_bytes > 0 && fetched_ >= stream_config_.total_bytes;
    if (limit_reached || clock_->nowPs() - stream_started_ps_ >= end_ps_) {
        endLocked(false);
        return false;
    }
    return true;
}

RawChunk RawAcquisition::fetchStreamLocked() {
    RawChunk chunk;
    if (!streamActiveLocked() || !pattern_ || pattern_->empty()) return chunk;
    std::uint64_t size = pattern_->size();
    if (stream_config_.total_bytes > 0) size = std::min(size, stream_config_.total_bytes - fetched_);
    if (size == pattern_->size()) {
        chunk.shared = pattern_;
    } else {
        chunk.owned.assign(pattern_->begin(), pattern_->begin() + static_cast<std::ptrdiff_t>(size));
    }
    fetched_ += size;
    produced_ = fetched_;
    streamActiveLocked();  // ends it at once when the limit is reached
    return chunk;
}

RawChunk RawAcquisition::fetch() {
    std::lock_guard lock(mutex_);
    if (mode_ == AcquisitionMode::Stream) return fetchStreamLocked();
    RawChunk chunk;
    if (pending_.empty()) return chunk;
    const std::size_t n = wholeRecordPrefix(format_, pending_, static_cast<std::size_t>(config_.max_reply_bytes));
    if (n == pending_.size()) {
        chunk.owned.swap(pending_);
    } else {
        chunk.owned.assign(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    }
    fetched_ += n;
    fetched_hash_.update(chunk.owned.data(), chunk.owned.size());
    return chunk;
}

bool RawAcquisition::processing() {
    std::lock_guard lock(mutex_);
    if (mode_ == AcquisitionMode::Stream) return streamActiveLocked();
    return state_ == AcquisitionState::Armed || state_ == AcquisitionState::Running;
}

RawAcquisition::Readiness RawAcquisition::readinessLocked() {
    if (mode_ == AcquisitionMode::Stream) return streamActiveLocked() ? Readiness::Ready : Readiness::Never;
    switch (state_) {
        case AcquisitionState::Idle:
        case AcquisitionState::Stopped: return Readiness::Never;
        case AcquisitionState::Armed:
        case AcquisitionState::Running:
            return !files_ && !pending_.empty() ? Readiness::Ready : Readiness::Later;
        case AcquisitionState::Ended:
            if (files_) return Readiness::Ready;
            return pending_.empty() ? Readiness::Never : Readiness::Ready;
    }
    return Readiness::Never;
}

WaitOutcome RawAcquisition::waitReady(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + std::max(timeout, std::chrono::milliseconds(0));
    std::unique_lock lock(mutex_);
    while (true) {
        switch (readinessLocked()) {
            case Readiness::Ready: return WaitOutcome::Ready;
            case Readiness::Never: return WaitOutcome::NothingToWaitFor;
            case Readiness::Later: break;
        }
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
            const Readiness last = readinessLocked();
            if (last == Readiness::Ready) return WaitOutcome::Ready;
            return last == Readiness::Never ? WaitOutcome::NothingToWaitFor : WaitOutcome::TimedOut;
        }
    }
}

AcquisitionStats RawAcquisition::stats() {
    AcquisitionStats s;
    SharedBytes pattern;
    {
        std::lock_guard lock(mutex_);
        if (mode_ == AcquisitionMode::Stream) streamActiveLocked();
        s.acquisition = number_;
        s.state = state_;
        s.data_mode = static_cast<int>(mode_);
        s.data_format = static_cast<int>(format_);
        s.duration_s = duration_s_;
        s.events = events_;
        s.bytes_produced = produced_;
        s.produced_fnv1a64 = produced_hash_.value();
        s.bytes_fetched = fetched_;
        s.fetched_fnv1a64 = fetched_hash_.value();
        s.bytes_pending = pending_.size();
        s.bytes_dropped = dropped_;
        if (files_) {
            s.bytes_written = files_->bytesWritten();
            s.written_fnv1a64 = files_->checksum();
            s.files = files_->paths();
            s.file_error = files_->error();
        }
        if (mode_ == AcquisitionMode::Stream) pattern = pattern_;
    }
    if (pattern) {
        // The stream's checksum is worked out when asked, so handing out costs nothing.
        s.fetched_fnv1a64 = s.produced_fnv1a64 = repeatedPatternChecksum(*pattern, s.bytes_fetched);
    }
    return s;
}

ModelError RawAcquisition::setDataFormat(std::int64_t format) {
    if (format < 0 || format >= kRawDataFormatCount) return ModelError::ValueOutOfRange;
    std::lock_guard lock(mutex_);
    if (state_ == AcquisitionState::Armed || state_ == AcquisitionState::Running) return ModelError::WrongState;
    format_setting_ = static_cast<RawDataFormat>(format);
    return ModelError::None;
}

int RawAcquisition::dataFormat() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(format_setting_);
}

}  // namespace veltrano::sim
