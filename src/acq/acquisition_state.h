#pragma once
// The session state of raw data acquisition: the byte buffer the acquisition
// thread fills from the service, and the local writer that drains it into
// volume files. One member of InstInstance.
//
// Locks (never two of the buffer and writer locks at once):
// - rawBufferMutex guards rawBuffer and acquisitionThreadRunning; held only for
//   short work (one append, one copy-and-empty, one swap, one release), never
//   during an exchange with the service or a file write.
// - writerMutex guards localWriter, every call made on it and localOutputPath.
// - controlMutex serialises stopping and starting the threads and guards both
//   thread objects. The threads never take it, so joining under it is safe.

#include "core/uninitialized_bytes.h"
#include "core/worker_thread.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ksq {
class AsyncFileWriter;
}

namespace vel {

// Every byte is received into the buffer before it is read: growing it need
// not zero-fill.
using RawBytes = UninitializedBytes;

constexpr size_t kRawBacklogLimit = size_t{32} << 20;

struct AcquisitionState {
    std::mutex rawBufferMutex;
    // Notified (one waiter) after every append; notified (all waiters) when an
    // acquisition is stopped and when the acquisition thread ends.
    std::condition_variable dataReady;
    // Bytes received and not yet taken. Created by the first start of the
    // acquisition thread and kept across acquisitions; released by ci_stop_acq.
    std::shared_ptr<RawBytes> rawBuffer;
    // True from the start of the acquisition thread until its very last step:
    // the local writer leaves only when it is false and the buffer is empty.
    bool acquisitionThreadRunning = false;
    // True while someone drains the buffer: the caller through
    // ci_fetch_rawdata, or the local writer thread into volume files. The
    // acquisition thread then holds back once kRawBacklogLimit bytes wait, so
    // a caller or disk slower than the network bounds memory instead of
    // filling it; the service keeps the rest until the next poll. Cleared
    // when a local writer ends, which leaves nobody to drain.
    bool backlogDrained = false;
    // Notified when a fetch or the local writer has taken bytes, when the
    // local writer ends and when a stop is requested.
    std::condition_variable backlogShrunk;

    // False while the acquisition thread is meant to run. Read by the threads
    // without a lock; set by the thread when it gives up and by the stops.
    std::atomic<bool> stopRequested{false};

    std::mutex writerMutex;
    std::shared_ptr<ksq::AsyncFileWriter> localWriter;
    // Full path of volume 0 of the running local acquisition; empty otherwise.
    std::string localOutputPath;

    std::mutex controlMutex;
    // Declared last so they go first when the session is destroyed: by then
    // each has ended or is the thread dropping the last session reference.
    WorkerThread acquisitionThread;
    WorkerThread localWriterThread;
};

}  // namespace vel
