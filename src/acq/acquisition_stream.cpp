#include "acq/acquisition_stream.h"

#include "acq/local_acquisition.h"
#include "core/session_context.h"
#include "core/string_utils.h"
#include "net/call_kinds.h"
#include "net/command_request.h"
#include "net/frame.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace vel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kMaxFailedPolls = 3;
constexpr int kMaxEmptyPolls = 50;
constexpr auto kFirstPollDelay = 500ms;
constexpr auto kPollPause = 100us;
constexpr auto kFirstFetchPause = 100us;
constexpr auto kLongestFetchPause = 1000us;

constexpr std::string_view kAcquisitionThreadName = "Acq raw data thread";

// Waits for the given time unless a stop is requested (or comes in meanwhile).
void pauseUnlessStopped(AcquisitionState& acquisition, Clock::duration pause) {
    std::unique_lock<std::mutex> lock(acquisition.rawBufferMutex);
    acquisition.dataReady.wait_until(lock, Clock::now() + pause, [&] { return acquisition.stopRequested.load(); });
}

// Wakes every waiter so that it sees a change made outside the raw buffer
// lock; taking the lock once first means no waiter can miss the change
// between testing its condition and starting to wait.
void wakeAllWaiters(AcquisitionState& acquisition) {
    { std::lock_guard<std::mutex> lock(acquisition.rawBufferMutex); }
    acquisition.dataReady.notify_all();
    acquisition.backlogShrunk.notify_all();
}

// Receives a "fetch_rawdata" payload into the chunk the polling loop keeps,
// reusing its storage from one poll to the next.
class RawChunkReader final : public frame::PayloadReader {
public:
    explicit RawChunkReader(RawBytes& chunk) : chunk_(chunk) {}

    bool readPayload(ByteSource& source, size_t length) override {
        return frame::readPayloadInto(source, length, chunk_);
    }

private:
    RawBytes& chunk_;
};

// The polling loop; returns when a stop is requested or the thread gives up.
void pollRawData(const SessionContext& session, AcquisitionState& acquisition) {
    pauseUnlessStopped(acquisition, kFirstPollDelay);
    int failedPolls = 0;
    int emptyPolls = 0;
    RawBytes chunk;
    while (!acquisition.stopRequested.load()) {
        if (fetchRawChunk(session, chunk) != 0) {
            if (++failedPolls >= kMaxFailedPolls) {
                session.logError("Fetch raw data failed, stopping acq raw data thread");
                return;
            }
            pauseUnlessStopped(acquisition, kPollPause);
            continue;
        }
        failedPolls = 0;
        if (chunk.empty()) {
            if (++emptyPolls >= kMaxEmptyPolls) {
                session.log(spdlog::level::info, "No data received for a while, stopping acq raw data thread");
                return;
            }
            pauseUnlessStopped(acquisition, kPollPause);
            continue;
        }
        appendToRawBuffer(acquisition, chunk);
        emptyPolls = 0;
    }
}

// The acquisition thread's body. Whatever ends it, the stop flag is left set
// and the local writer thread is woken to drain what is left.
void runAcquisitionThread(const SessionContext& session, AcquisitionState& acquisition) noexcept {
    guardOperation(session, 0, kAcquisitionThreadName, [&] {
        pollRawData(session, acquisition);
        return 0;
    });
    acquisition.stopRequested = true;
    {
        std::lock_guard<std::mutex> lock(acquisition.rawBufferMutex);
        acquisition.acquisitionThreadRunning = false;
    }
    acquisition.dataReady.notify_all();
}

}  // namespace

void resetAcquisition(const SessionContext& session, AcquisitionState& acquisition) {
    stopAcquisitionThreads(session, acquisition);
    closeLocalWriter(acquisition);
}

int stopAcquisitionThreads(const SessionContext& session, AcquisitionState& acquisition) {
    return guardOperation(session, -1, "Stop acquisition thread", [&] {
        std::lock_guard<std::mutex> control(acquisition.controlMutex);
        acquisition.stopRequested = true;
        wakeAllWaiters(acquisition);
        // The acquisition thread first: the local writer leaves only after it.
        acquisition.acquisitionThread.join();
        acquisition.localWriterThread.join();
        return 0;
    });
}

int startAcquisitionThread(const SessionContext& session, AcquisitionState& acquisition) {
    std::shared_ptr<AcquisitionState> keep = shareSessionPart(session, acquisition);
    std::lock_guard<std::mutex> control(acquisition.controlMutex);
    if (acquisition.acquisitionThread.running()) {
        // Another start on this session got past its reset at the same time:
        // end that thread first. Clearing the stop flag with it still running
        // would leave this start (and every stop, behind the control lock)
        // waiting for an acquisition that ends only with its duration.
        acquisition.stopRequested = true;
        wakeAllWaiters(acquisition);
        acquisition.acquisitionThread.join();
    }
    {
        std::lock_guard<std::mutex> lock(acquisition.rawBufferMutex);
        if (!acquisition.rawBuffer) {
            acquisition.rawBuffer = std::make_shared<RawBytes>();
        }
        acquisition.acquisitionThreadRunning = true;
        acquisition.backlogDrained = true;  // by the caller's fetches, or by a local writer
    }
    acquisition.stopRequested = false;
    try {
        // The thread keeps its session alive; when it drops the last reference,
        // the session's thread object detaches it instead of joining itself.
        acquisition.acquisitionThread = WorkerThread([keep, &session]() mutable {
            runAcquisitionThread(session, *keep);
            keep.reset();
        });
    } catch (...) {
        std::lock_guard<std::mutex> lock(acquisition.rawBufferMutex);
        acquisition.acquisitionThreadRunning = false;
        throw;
    }
    return 0;
}

int fetchRawChunk(const SessionContext& session, RawBytes& chunk) {
    chunk.clear();
    if (!session.connection) {
        return -1;
    }
    const int status = guardOperation(session, -1, "Fetch RAW data", [&] {
        RawChunkReader reader(chunk);
        const CommandResponse response = exchange(session, commandRequest("fetch_rawdata"), reader);
        if (response.isJson()) {
            // The reply comes from the peer: text that is not valid UTF-8 is
            // replaced rather than allowed to fail the log line.
            const std::string reply = response.getJson().dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
            session.logError("Fetch raw data failed:" + reply);
            return -1;
        }
        return 0;
    });
    if (status != 0) {
        chunk.clear();
    }
    return status;
}

void appendToRawBuffer(AcquisitionState& acquisition, RawBytes& chunk) {
    {
        std::unique_lock<std::mutex> lock(acquisition.rawBufferMutex);
        acquisition.backlogShrunk.wait(lock, [&] {
            return !acquisition.backlogDrained || !acquisition.rawBuffer ||
                   acquisition.rawBuffer->size() < kRawBacklogLimit || acquisition.stopRequested.load();
        });
        // Without a buffer (released by ci_stop_acq) the bytes are dropped.
        if (acquisition.rawBuffer && acquisition.rawBuffer->empty() &&
            acquisition.rawBuffer->capacity() <= chunk.capacity()) {
            acquisition.rawBuffer->swap(chunk);
        } else if (acquisition.rawBuffer) {
            // Sized first (without zero-filling), then copied in one call.
            RawBytes& buffer = *acquisition.rawBuffer;
            const size_t start = buffer.size();
            buffer.resize(start + chunk.size());
            std::memcpy(buffer.data() + start, chunk.data(), chunk.size());
        }
    }
    // Every waiter: the local writer and callers of ci_fetch_rawdata alike.
    acquisition.dataReady.notify_all();
}

char* takeRawBacklog(RawBytes& buffer, size_t maxBytes, int& size) {
    const size_t count = std::min(buffer.size(), maxBytes);
    if (count == 0) {
        return nullptr;
    }
    char* block = static_cast<char*>(std::malloc(count));
    if (block == nullptr) {
        return nullptr;
    }
    std::memcpy(block, buffer.data(), count);
    if (count == buffer.size()) {
        buffer.clear();  // keeps the capacity for the bytes still to come
    } else {
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(count));
    }
    size = static_cast<int>(count);
    return block;
}

int acquireRawData(const SessionContext& session, AcquisitionState& acquisition, int dataMode, int duration,
                   const char* folderPath, const char* fileName, int maxVolumeSize, uint8_t forceClose) {
    resetAcquisition(session, acquisition);
    const int status = callPlain(session, {{"cmd", "acq_rawdata"},
                                           {"data_mode", dataMode},
                                           {"duration", duration},
                                           {"folder_path", ksq::CStringUtils::safe_string(folderPath)},
                                           {"file_name", ksq::CStringUtils::safe_string(fileName)},
                                           {"max_volume_size", maxVolumeSize},
                                           {"force_close", forceClose == 1}});
    if (status != 0) {
        return status;
    }
    if (!ksq::CStringUtils::isEmpty(fileName)) {
        return 0;  // the service stores the data itself
    }
    return startAcquisitionThread(session, acquisition);
}

char* fetchRawData(AcquisitionState& acquisition, int* size, int timeoutMs) {
    if (hasLocalWriter(acquisition)) {
        return nullptr;  // the stream goes to the volume files
    }
    const auto start = Clock::now();
    Clock::duration pause = kFirstFetchPause;
    std::unique_lock<std::mutex> lock(acquisition.rawBufferMutex);
    for (;;) {
        if (!acquisition.rawBuffer) {
            return nullptr;
        }
        // Bytes already received are handed over even when the
        // acquisition has ended; a failed allocation waits like no data.
        int taken = 0;
        if (char* block = takeRawBacklog(*acquisition.rawBuffer, kMaxRawBlockBytes, taken)) {
            if (size != nullptr) {
                *size = taken;
            }
            acquisition.backlogShrunk.notify_one();
            return block;
        }
        if (acquisition.rawBuffer->empty() && acquisition.stopRequested.load()) {
            return nullptr;
        }
        if (Clock::now() - start > std::chrono::milliseconds(timeoutMs)) {
            return nullptr;
        }
        // Woken as soon as a chunk arrives or the acquisition ends; the
        // growing pause only bounds each wait, as a poll would.
        acquisition.dataReady.wait_for(lock, pause, [&] {
            return !acquisition.rawBuffer || !acquisition.rawBuffer->empty() || acquisition.stopRequested.load();
        });
        pause = std::min<Clock::duration>(pause * 2, kLongestFetchPause);
    }
}

int stopAcquisition(const SessionContext& session, AcquisitionState& acquisition) {
    // The service is told first; the local writer still drains what arrives
    // until the threads are joined.
    const int status = callPlain(session, {{"cmd", "stop_acq"}});
    {
        stopAcquisitionThreads(session, acquisition);
        {
            std::lock_guard<std::mutex> lock(acquisition.rawBufferMutex);
            acquisition.rawBuffer.reset();  // unfetched bytes are dropped
            acquisition.stopRequested = true;
        }
        std::lock_guard<std::mutex> control(acquisition.controlMutex);
        acquisition.acquisitionThread.join();
        return status;
    }
}

}  // namespace vel
