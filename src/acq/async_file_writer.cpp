#include "acq/async_file_writer.h"

#include "acq/platform_impl.h"
#include "core/io_utils.h"

#include <algorithm>
#include <iostream>
#include <limits>
#include <stdexcept>

namespace ksq {

namespace {

int64_t maximumVolumeBytes(int maxVolumeSize) {
    return maxVolumeSize > 0 ? static_cast<int64_t>(maxVolumeSize) * AsyncFileWriter::kMebibyte : -1;
}

// How far ahead of the write position the worker prepares pages: at least this
// much, or twice the last write, within the current mapping; in pieces of
// kPreparePiece, so that an unmapping waits for one piece at most.
constexpr uint64_t kPrepareWindow = 32 * 1048576ull;
constexpr uint64_t kPreparePiece = 2 * 1048576ull;

}  // namespace

AsyncFileWriter::AsyncFileWriter(const std::string& path, int maxVolumeSize, uint64_t initialMapSize,
                                 uint64_t expandStep)
    : basePath_(CIOUtils::fromUtf8String(path)),
      maxVolumeBytes_(maximumVolumeBytes(maxVolumeSize)),
      initialMapSize_(initialMapSize) {
    {
        std::lock_guard<std::mutex> lock(writerMutex_);
        openCurrentVolume(initialMapSize, expandStep);
    }
    // Holds this writer; ends when the destructor sets the stop flag.
    worker_ = std::thread([this] { runWorker(); });
}

AsyncFileWriter::~AsyncFileWriter() {
    {
        // Set under the queue mutex so the worker cannot miss the wake-up.
        std::lock_guard<std::mutex> lock(queueMutex_);
        stopFlag_ = true;
    }
    queueSignal_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
    flush();
    std::lock_guard<std::mutex> lock(writerMutex_);
    closeCurrentVolumeLocked();
}

bool AsyncFileWriter::writeData(const char* data, uint64_t size) {
    if (data == nullptr || size == 0) {
        return false;
    }
    std::lock_guard<std::mutex> lock(writerMutex_);
    uint64_t remaining = size;
    while (remaining > 0) {
        // Closed, or left without a view by a failed switch or growth.
        if (!platform_ || platform_->view() == nullptr || platform_->mappedSize() == 0) {
            return false;
        }
        const uint64_t limit = maxVolumeBytes_ > 0 ? static_cast<uint64_t>(maxVolumeBytes_)
                                                   : static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
        const uint64_t written = platform_->writtenSize();
        if (written >= limit) {
            // The switch happens under the same lock as the full check, so two
            // writers can never both switch for one full volume.
            if (!switchToNextVolume()) {
                std::cerr << "Error: Failed to switch to next volume\n";
                return false;
            }
            continue;
        }
        const uint64_t chunk = std::min(limit - written, remaining);
        const uint64_t end = written + chunk;
        if (end > platform_->mappedSize()) {
            std::lock_guard<std::mutex> view(viewMutex_);
            if (!platform_->safeExpand(end)) {
                std::cerr << "Error: Failed to expand mapped file\n";
                return false;
            }
        }
        // Pages the worker has not been asked for are made ready here.
        if (end > preparedUpTo_) {
            const uint64_t from = std::max(written, preparedUpTo_);
            platform_->prepareWrite(from, end - from);
        }
        std::copy_n(data, static_cast<size_t>(chunk), platform_->view() + written);
        platform_->advanceWritten(chunk);
        data += chunk;
        remaining -= chunk;
    }
    prepareAhead(size);
    return true;
}

void AsyncFileWriter::prepareAhead(uint64_t lastWrite) {
    if (!platform_ || platform_->view() == nullptr) {
        return;
    }
    const uint64_t written = platform_->writtenSize();
    const uint64_t to = std::min(platform_->mappedSize(), written + std::max(kPrepareWindow, 2 * lastWrite));
    const uint64_t from = std::max(preparedUpTo_, written);
    if (to <= from || to - from < kPreparePiece) {
        return;
    }
    // The copy never waits for the worker: when it is busy with a piece, the
    // range is asked for at the next write.
    std::unique_lock<std::mutex> view(viewMutex_, std::try_to_lock);
    if (!view.owns_lock()) {
        return;
    }
    const bool idle = prepareRequest_.platform == nullptr;
    if (idle) {
        prepareRequest_ = {platform_.get(), from, to};
    } else {
        prepareRequest_.to = to;  // the running task goes on to the new end
    }
    preparedUpTo_ = to;
    view.unlock();
    if (idle) {
        {
            std::lock_guard<std::mutex> lock(queueMutex_);
            tasks_.push([this] { prepareRequestedRange(); });
        }
        queueSignal_.notify_one();
    }
}

void AsyncFileWriter::prepareRequestedRange() {
    while (!stopFlag_.load()) {
        std::lock_guard<std::mutex> view(viewMutex_);
        PrepareRequest& request = prepareRequest_;
        if (request.platform == nullptr) {
            return;  // the volume was closed meanwhile
        }
        PlatformImpl& platform = *request.platform;
        if (request.from >= request.to || platform.view() == nullptr || request.to > platform.mappedSize()) {
            request = {};
            return;
        }
        const uint64_t piece = std::min(request.to - request.from, kPreparePiece);
        platform.prepareWrite(request.from, piece);
        request.from += piece;
    }
}

void AsyncFileWriter::flush() {
    std::lock_guard<std::mutex> lock(writerMutex_);
    if (platform_) {
        platform_->flushWritten();
    }
}

void AsyncFileWriter::asyncFlush() {
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        tasks_.push([this] { flush(); });
    }
    queueSignal_.notify_one();
}

bool AsyncFileWriter::close() {
    std::lock_guard<std::mutex> lock(writerMutex_);
    if (!platform_) {
        return true;
    }
    const bool flushed = platform_->flushWritten();
    return closeCurrentVolumeLocked() && flushed;
}

std::filesystem::path AsyncFileWriter::getVolumeFileName(int index) const {
    return volumeFileName(basePath_, index);
}

std::filesystem::path AsyncFileWriter::volumeFileName(const std::filesystem::path& basePath, int index) {
    if (index <= 0) {
        return basePath;
    }
    const std::string text = CIOUtils::toUtf8String(basePath);
    // The last '.' of the whole text, directories included.
    size_t cut = text.rfind('.');
    if (cut == std::string::npos || cut == 0) {
        cut = text.size();
    }
    std::string name;
    name.append(text, 0, cut);
    name.push_back('_');
    name.append(std::to_string(index));
    name.append(text, cut, std::string::npos);
    return CIOUtils::fromUtf8String(name);
}

int AsyncFileWriter::currentVolumeIndex() const {
    return volumeIndex_.load();
}

void AsyncFileWriter::openCurrentVolume(uint64_t initialSize, uint64_t expandStep) {
    const std::filesystem::path name = getVolumeFileName(volumeIndex_.load());
    platform_ = std::make_unique<PlatformImpl>();
    preparedUpTo_ = 0;
    platform_->setExpandStep(expandStep);
    if (name.has_parent_path()) {
        std::filesystem::create_directories(name.parent_path());
    }
    if (!platform_->openFile(name)) {
        throw std::runtime_error("Failed to open volume file: " + CIOUtils::toUtf8String(name));
    }
    const uint64_t initial = maxVolumeBytes_ > 0 && static_cast<uint64_t>(maxVolumeBytes_) < initialSize
                                 ? static_cast<uint64_t>(maxVolumeBytes_)
                                 : initialSize;
    if (!platform_->mapFile(initial)) {
        throw std::runtime_error("Initial mmap failed for volume: " + CIOUtils::toUtf8String(name));
    }
}

bool AsyncFileWriter::switchToNextVolume() {
    const uint64_t expandStep = platform_ ? platform_->expandStep() : kDefaultMapSize;
    closeCurrentVolumeLocked();
    volumeIndex_.fetch_add(1);
    const uint64_t initial =
        maxVolumeBytes_ > 0 ? std::min(static_cast<uint64_t>(maxVolumeBytes_), initialMapSize_) : initialMapSize_;
    try {
        openCurrentVolume(initial, expandStep);
    } catch (...) {
        return false;  // the caller reports the volume that could not be opened
    }
    return true;
}

bool AsyncFileWriter::closeCurrentVolumeLocked() {
    if (!platform_) {
        return true;
    }
    std::lock_guard<std::mutex> view(viewMutex_);
    prepareRequest_ = {};
    platform_->unmapFile();
    const bool closed = platform_->truncateAndClose();
    platform_.reset();
    return closed;
}

void AsyncFileWriter::runWorker() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(queueMutex_);
            queueSignal_.wait(lock, [this] { return stopFlag_.load() || !tasks_.empty(); });
            if (stopFlag_) {
                return;  // tasks still queued are dropped
            }
            task = std::move(tasks_.front());
            tasks_.pop();
        }
        try {
            task();
        } catch (const std::exception& e) {
            std::cerr << "File writer task exception: " << e.what() << '\n';
        } catch (...) {
            // The worker's one catch-all; writer errors go to the standard error stream.
            std::cerr << "File writer task unknown exception\n";
        }
    }
}

}  // namespace ksq
