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
    : config_(std::move(config)), streamConfig_(stream), seed_(seed), clock_(std::move(clock)) {}

AcquisitionStart RawAcquisition::openFiles(const AcquisitionRequest& request, RawDataFormat format,
                                           std::unique_ptr<VolumeFileSet>& files) const {
    std::string name = request.fileName;
    if (std::filesystem::path(name).extension().empty()) name += extensionFor(format);
    const std::filesystem::path first = resolveServicePath(config_.dataDir, request.folderPath) / name;
    const std::int64_t mib = std::min(request.maxVolumeMib, kMaxVolumeMib);
    const std::uint64_t maxBytes = mib > 0 ? static_cast<std::uint64_t>(mib) << 20 : 0;
    try {
        files = std::make_unique<VolumeFileSet>(first, maxBytes, request.forceClose);
    } catch (const std::exception& e) {
        return {ModelError::FileError, e.what()};
    }
    return {};
}

AcquisitionStart RawAcquisition::begin(const AcquisitionRequest& request) {
    stop();
    if (request.dataMode != static_cast<int>(AcquisitionMode::Signal) &&
        request.dataMode != static_cast<int>(AcquisitionMode::Stream)) {
        return {ModelError::ValueOutOfRange, "data_mode must be 0 (signal) or 1 (stream)"};
    }
    if (request.durationS < 1 || request.durationS > kMaxDurationS) {
        return {ModelError::ValueOutOfRange, "duration must be 1.." + std::to_string(kMaxDurationS) + " s"};
    }
    const auto mode = static_cast<AcquisitionMode>(request.dataMode);
    if (mode == AcquisitionMode::Stream && !request.fileName.empty()) {
        return {ModelError::ValueOutOfRange, "the stream mode serves fetch_rawdata only: no file_name"};
    }

    const RawDataFormat format = static_cast<RawDataFormat>(dataFormat());
    std::unique_ptr<VolumeFileSet> files;
    if (!request.fileName.empty()) {
        if (AcquisitionStart refused = openFiles(request, format, files); refused.error != ModelError::None) {
            return refused;
        }
    }
    SharedBytes pattern;
    if (mode == AcquisitionMode::Stream) {
        std::lock_guard lock(mutex_);
        pattern = pattern_;
    }
    if (mode == AcquisitionMode::Stream && (!pattern || pattern->size() != streamConfig_.chunkBytes)) {
        pattern = makeStreamPattern(seed_, static_cast<std::size_t>(streamConfig_.chunkBytes));
    }

    std::lock_guard lock(mutex_);
    endLocked(true);  // a start from another connection may have slipped in
    ++number_;
    state_ = mode == AcquisitionMode::Signal ? AcquisitionState::Armed : AcquisitionState::Running;
    mode_ = mode;
    format_ = format;
    durationS_ = request.durationS;
    endPs_ = request.durationS * kSecondPs;
    offsetPs_ = 0;
    streamStartedPs_ = clock_->nowPs();
    sequence_ = 0;
    events_ = produced_ = fetched_ = dropped_ = 0;
    producedHash_ = Fnv1a64();
    fetchedHash_ = Fnv1a64();
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
        const std::int64_t t = e.timePs + offsetPs_;
        if (t >= endPs_) break;  // events come in time order
        const std::size_t n = encodeRawRecord(format_, e, t, sequence_++, record);
        ++events_;
        produced_ += n;
        producedHash_.update(record, n);
        if (files_) {
            files_->writeRecord({record, n});
        } else if (pending_.size() + n > config_.bufferLimitBytes) {
            dropped_ += n;
        } else {
            pending_.insert(pending_.end(), record, record + n);
            appended = true;
        }
    }
    if (appended) changed_.notify_all();
}

void RawAcquisition::onProgress(std::int64_t completeBeforePs) {
    std::lock_guard lock(mutex_);
    if (state_ != AcquisitionState::Running || mode_ != AcquisitionMode::Signal) return;
    if (files_) files_->flush();
    if (completeBeforePs + offsetPs_ >= endPs_) endLocked(false);
}

void RawAcquisition::endSignalBy(std::int64_t endPs) {
    std::lock_guard lock(mutex_);
    endPs_ = std::min(endPs_, endPs);
}

void RawAcquisition::onTimeBaseRestart(std::int64_t previousTimeBasePs) {
    std::lock_guard lock(mutex_);
    if (mode_ != AcquisitionMode::Signal) return;
    if (state_ == AcquisitionState::Armed) {
        state_ = AcquisitionState::Running;
        offsetPs_ = 0;
    } else if (state_ == AcquisitionState::Running) {
        offsetPs_ += previousTimeBasePs;
    }
}

std::int64_t RawAcquisition::historyNeededPs() const {
    std::lock_guard lock(mutex_);
    return state_ == AcquisitionState::Running && mode_ == AcquisitionMode::Signal ? kEveryEvent : 0;
}

bool RawAcquisition::streamActiveLocked() {
    if (state_ != AcquisitionState::Running) return false;
    const bool limitReached = streamConfig_.totalBytes > 0 && fetched_ >= streamConfig_.totalBytes;
    if (limitReached || clock_->nowPs() - streamStartedPs_ >= endPs_) {
        endLocked(false);
        return false;
    }
    return true;
}

RawChunk RawAcquisition::fetchStreamLocked() {
    RawChunk chunk;
    if (!streamActiveLocked() || !pattern_ || pattern_->empty()) return chunk;
    std::uint64_t size = pattern_->size();
    if (streamConfig_.totalBytes > 0) size = std::min(size, streamConfig_.totalBytes - fetched_);
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
    const std::size_t n = wholeRecordPrefix(format_, pending_, static_cast<std::size_t>(config_.maxReplyBytes));
    if (n == pending_.size()) {
        chunk.owned.swap(pending_);
    } else {
        chunk.owned.assign(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    }
    fetched_ += n;
    fetchedHash_.update(chunk.owned.data(), chunk.owned.size());
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
        s.dataMode = static_cast<int>(mode_);
        s.dataFormat = static_cast<int>(format_);
        s.durationS = durationS_;
        s.events = events_;
        s.bytesProduced = produced_;
        s.producedFnv1a64 = producedHash_.value();
        s.bytesFetched = fetched_;
        s.fetchedFnv1a64 = fetchedHash_.value();
        s.bytesPending = pending_.size();
        s.bytesDropped = dropped_;
        if (files_) {
            s.bytesWritten = files_->bytesWritten();
            s.writtenFnv1a64 = files_->checksum();
            s.files = files_->paths();
            s.fileError = files_->error();
        }
        if (mode_ == AcquisitionMode::Stream) pattern = pattern_;
    }
    if (pattern) {
        // The stream's checksum is worked out when asked, so handing out costs nothing.
        s.fetchedFnv1a64 = s.producedFnv1a64 = repeatedPatternChecksum(*pattern, s.bytesFetched);
    }
    return s;
}

ModelError RawAcquisition::setDataFormat(std::int64_t format) {
    if (format < 0 || format >= kRawDataFormatCount) return ModelError::ValueOutOfRange;
    std::lock_guard lock(mutex_);
    if (state_ == AcquisitionState::Armed || state_ == AcquisitionState::Running) return ModelError::WrongState;
    formatSetting_ = static_cast<RawDataFormat>(format);
    return ModelError::None;
}

int RawAcquisition::dataFormat() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(formatSetting_);
}

}  // namespace veltrano::sim
