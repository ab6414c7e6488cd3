#pragma once
// Writes an unbounded byte stream into a series of size-limited files
// (volumes) through memory-mapped views. Volume 0 is the base path itself;
// volume k >= 1 has "_k" inserted before the last '.' of the path text (or
// appended when there is none): run.bin, run_1.bin, run_2.bin, ...
// Each volume is filled to exactly the maximum volume size, and the next one is
// created only when more data arrives. A finished volume, and the last one on
// close() or destruction, is cut back to the bytes written, so the volumes
// concatenated in index order equal the stream.
//
// Errors while writing (volume switch, mapping growth) are printed on the
// standard error stream, not logged; writeData() then returns false.
//
// Threads: writeData(), flush(), close() and the volume switch are serialised
// by the writer mutex and may be called from several threads. The writer owns
// one worker thread that runs queued tasks; it starts in the constructor and is
// stopped and joined by the destructor, which drops tasks still queued. Besides
// asyncFlush(), writeData() queues one task: making the pages of the view
// ahead of the write position ready to be written (the system's page faults
// and the zero-filling of new file pages), so that the copy into the view
// meets pages that are already there. That task touches the view only under
// the view mutex, which everything that unmaps or replaces the view holds too.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <queue>
#include <string>
#include <thread>

namespace ksq {

class AsyncFileWriter {
public:
    // 4 MiB: the initial map size and expand step every caller passes.
    static constexpr uint64_t kDefaultMapSize = 4194304;
    static constexpr int64_t kMebibyte = 1048576;

    // Mapping state of one open volume; the operating-system work lives in
    // platform_impl.h and its per-platform source.
    class PlatformImpl;

    // path: UTF-8 path of volume 0. maxVolumeSize in MiB; 0 or less means one
    // volume without limit. Creates missing directories and volume 0 (replacing
    // an existing file), maps it, then starts the worker. Throws
    // std::runtime_error ("Failed to open volume file: <path>", "Initial mmap
    // failed for volume: <path>") or the filesystem error of the directory
    // creation; no worker is started then.
    AsyncFileWriter(const std::string& path, int maxVolumeSize,
                    uint64_t initialMapSize = kDefaultMapSize,
                    uint64_t expandStep = kDefaultMapSize);
    // Stops and joins the worker, flushes, and closes like close() when that has
    // not happened yet.
    ~AsyncFileWriter();

    AsyncFileWriter(const AsyncFileWriter&) = delete;
    AsyncFileWriter& operator=(const AsyncFileWriter&) = delete;
    AsyncFileWriter(AsyncFileWriter&&) = delete;
    AsyncFileWriter& operator=(AsyncFileWriter&&) = delete;

    // Appends the bytes. False when data is null or size is 0 (nothing done),
    // when the writer is closed or has no mapping, or when a volume switch or a
    // mapping growth fails (bytes copied before the failure stay written).
    bool writeData(const char* data, uint64_t size);
    // Asks the system to write the written part of the current view to the file.
    void flush();
    // Queues flush() on the worker and returns at once.
    void asyncFlush();
    // Flushes, unmaps, cuts the current volume to its written length and closes
    // it. A second close() does nothing; later writes return false. False when
    // the file could not be cut to its length or closed cleanly.
    bool close();

    // The name of volume index under this writer's base path.
    std::filesystem::path getVolumeFileName(int index) const;
    // The naming rule itself: index <= 0 gives basePath, index k >= 1 inserts
    // "_k" before the last '.' of the whole path text when that '.' is not its
    // first character, and appends "_k" otherwise.
    static std::filesystem::path volumeFileName(const std::filesystem::path& basePath, int index);

    // Index of the volume being written (0 for the first).
    int currentVolumeIndex() const;

private:
    // These three run with writerMutex_ held by the caller.
    void openCurrentVolume(uint64_t initialSize, uint64_t expandStep);
    // Closes the full volume (cut to its length) and opens the next one; false
    // when that cannot be opened, leaving the writer without a view.
    bool switchToNextVolume();
    // Unmaps, cuts the file to the written size and closes it, dropping the
    // platform. False when cutting or closing failed.
    bool closeCurrentVolumeLocked();
    void runWorker();
    // With writerMutex_ held: asks the worker to prepare the pages after the
    // write position, unless it already has or is about to.
    void prepareAhead(uint64_t lastWrite);
    // The worker's task: prepares the requested range under viewMutex_.
    void prepareRequestedRange();

    std::unique_ptr<PlatformImpl> platform_;  // guarded by writerMutex_
    const std::filesystem::path basePath_;
    const int64_t maxVolumeBytes_;            // -1: no limit
    const uint64_t initialMapSize_;           // of every volume, at most its limit
    std::atomic<int32_t> volumeIndex_{0};     // changed under writerMutex_
    mutable std::mutex writerMutex_;
    // Guards the view against being unmapped while the worker prepares its
    // pages, and the request below. Taken after writerMutex_, never before it.
    std::mutex viewMutex_;
    struct PrepareRequest {
        PlatformImpl* platform = nullptr;  // null: nothing to prepare
        uint64_t from = 0;
        uint64_t to = 0;
    } prepareRequest_;                     // guarded by viewMutex_
    uint64_t preparedUpTo_ = 0;            // guarded by writerMutex_; per volume

    std::thread worker_;
    std::queue<std::function<void()>> tasks_;  // guarded by queueMutex_
    std::mutex queueMutex_;
    std::condition_variable queueSignal_;
    std::atomic<bool> stopFlag_{false};
};

}  // namespace ksq
