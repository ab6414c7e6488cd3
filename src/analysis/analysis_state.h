#pragma once
// The session state of the analyses: the stop flag of the running analysis,
// its output paths, the raw point buffers with the two raw worker threads, and
// what the start-stop and n-fold coincidence analyses remember for their
// savers. One member of InstInstance.
//
// Locks:
// - rawBufferMutex guards rawPoints, startstopRawBuffers (pointers and
//   contents) and rawProducerActive; held only to append, take or release,
//   never during a service exchange or a file write.
// - rawFileMutex is held by the raw writer while it writes one batch; never
//   together with rawBufferMutex.
// - analysisThreadMutex is held for the whole of stopping the raw threads and
//   while a start installs new ones; the joined threads never take it.
// - runMutex is held by beginRun and for the whole of the common stop routine,
//   so a stop (its saves and stop command included) never interleaves with
//   the next run's start command. Never take it with pathMutex held.
// The path and name members are written by the start functions on the caller's
// thread and read by the stop routine; pathMutex keeps those reads whole when a
// stop timer races a new start.

#include "analysis/point_list.h"
#include "core/cancellable_thread.h"
#include "core/worker_thread.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace vel {

struct AnalysisState {
    // Cleared by every start just before its start command; the first caller
    // of the stop routine that exchanges it to true saves and sends the stop.
    std::atomic<bool> analysisStopped{false};
    // Counts analysis starts. A stop timer carries the number of the run it
    // was started for and does nothing once another run has begun.
    std::atomic<uint64_t> runNumber{0};
    std::mutex runMutex;

    // Tells the raw cache (or recording) thread and the raw writer to end.
    std::atomic<bool> rawStopRequested{false};
    // True while raw data goes to a file: memory-mode raw fetches return nothing.
    std::atomic<bool> rawWriterActive{false};

    std::mutex rawBufferMutex;
    // Notified (one waiter) when points are appended, (all waiters) when a
    // producer ends and when the raw threads are stopped.
    std::condition_variable rawDataCond;
    std::shared_ptr<PointList> rawPoints;
    // True while the thread that fills the raw buffers (the raw cache thread,
    // or the start-stop recording thread) runs: set before it starts, cleared
    // when it ends (then all waiters are notified). Writers and memory fetches
    // keep waiting for its last points while it is set.
    bool rawProducerActive = false;
    // Start-stop dual-stop pairs per start channel, not yet consumed.
    std::unordered_map<int32_t, std::shared_ptr<PointList>> startstopRawBuffers;
    std::mutex rawFileMutex;
    std::mutex analysisThreadMutex;

    std::mutex pathMutex;
    std::string processDataPath;
    std::string crossCorrelationPath;
    std::string adevPath, mdevPath, tdevPath, hdevPath;
    std::string conformArea1Path, conformArea2Path;
    // Folder and file name of the latest time-of-flight, start-stop or n-fold
    // coincidence start.
    std::string analysisFolder;
    std::string analysisFileName;

    // Records the service keeps for the caller's record fetches: "Enabled"
    // when the latest start of that analysis asked for them, "ToFile" when
    // that start gave a file name, so the service writes them itself.
    // T2: autocorrelation; T3: time of flight and start-stop; time over
    // threshold; energy spectrum.
    std::atomic<bool> t2Enabled{false};
    std::atomic<bool> t2ToFile{false};
    std::atomic<bool> t3Enabled{false};
    std::atomic<bool> t3ToFile{false};
    std::atomic<bool> totDataEnabled{false};
    std::atomic<bool> totDataToFile{false};
    std::atomic<bool> esDataEnabled{false};
    std::atomic<bool> esDataToFile{false};

    // Start-stop: start channel -> stop channels of the latest start.
    std::unordered_map<int32_t, std::vector<int32_t>> startstopChanGroups;

    // N-fold coincidences: strategy names of the latest start, in the order sent.
    std::vector<std::string> ncoinsStrategyNames;
    std::atomic<bool> ncoinsRawEnabled{false};
    std::atomic<bool> ncoinsRawToFile{false};

    // Declared last so they go first when the session is destroyed.
    WorkerThread rawCacheThread;
    WorkerThread rawWriterThread;
    // The stop timer of the latest start (see analysis/stop_timer.h); ended
    // before anything else when the session goes.
    CancellableThread stopTimer;
};

}  // namespace vel
