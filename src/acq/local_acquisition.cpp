#include "acq/local_acquisition.h"

#include "acq/acquisition_stream.h"
#include "acq/async_file_writer.h"
#include "core/io_utils.h"
#include "core/string_utils.h"
#include "net/call_kinds.h"

#include <algorithm>
#include <string_view>

namespace vel {
namespace {

constexpr const char* kDefaultRawFolder = "raw";
constexpr std::string_view kLocalWriterThreadName = "RAW writer thread";

bool hasBytes(const std::shared_ptr<RawBytes>& buffer) {
    return buffer && !buffer->empty();
}

// Moves every batch that accumulated in the raw buffer into the writer, until
// the acquisition thread has ended and nothing is left.
void drainIntoWriter(AcquisitionState& acquisition) {
    // Swapped with the raw buffer, so the two vectors keep their capacity
    // and a steady stream reuses the same storage.
    RawBytes batch;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(acquisition.rawBufferMutex);
            acquisition.dataReady.wait(
                lock, [&] { return !acquisition.acquisitionThreadRunning || hasBytes(acquisition.rawBuffer); });
            if (!hasBytes(acquisition.rawBuffer)) {
                return;  // the acquisition has ended and everything is written
            }
            batch.clear();
            batch.swap(*acquisition.rawBuffer);
        }
        acquisition.backlogShrunk.notify_one();
        std::lock_guard<std::mutex> lock(acquisition.writerMutex);
        if (acquisition.localWriter) {
            // A failed write is reported by the writer itself; the next batch
            // is still offered.
            acquisition.localWriter->writeData(reinterpret_cast<const char*>(batch.data()), batch.size());
            acquisition.localWriter->flush();
        }
    }
}

void stopHoldingBack(AcquisitionState& acquisition) noexcept {
    {
        std::lock_guard<std::mutex> lock(acquisition.rawBufferMutex);
        acquisition.backlogDrained = false;
    }
    acquisition.backlogShrunk.notify_all();
}

void runLocalWriterThread(const SessionContext& session, AcquisitionState& acquisition) noexcept {
    guardOperation(session, 0, kLocalWriterThreadName, [&] {
        drainIntoWriter(acquisition);
        closeLocalWriter(acquisition);
        return 0;
    });
    // Whatever ended the writer, the acquisition thread must not wait for it.
    stopHoldingBack(acquisition);
}

void startLocalWriterThread(const SessionContext& session, AcquisitionState& acquisition) {
    std::shared_ptr<AcquisitionState> keep = shareSessionPart(session, acquisition);
    std::lock_guard<std::mutex> control(acquisition.controlMutex);
    {
        std::lock_guard<std::mutex> lock(acquisition.rawBufferMutex);
        acquisition.backlogDrained = true;
    }
    // Holds a shared reference, like the acquisition thread: the session
    // cannot go away under it even after ci_destroy.
    try {
        acquisition.localWriterThread = WorkerThread([keep, &session]() mutable {
            runLocalWriterThread(session, *keep);
            keep.reset();
        });
    } catch (...) {
        stopHoldingBack(acquisition);
        throw;
    }
}

}  // namespace

std::string rawFileExtension(int dataFormat) {
    switch (dataFormat) {
        case 1:
            return ".dat";
        case 2:
            return ".csv";
        default:
            return ".bin";
    }
}

uint64_t localVolumeMapSize(int maxVolumeSize) {
    if (maxVolumeSize <= 0) {
        return ksq::AsyncFileWriter::kDefaultMapSize;
    }
    return std::min(static_cast<uint64_t>(maxVolumeSize) * static_cast<uint64_t>(ksq::AsyncFileWriter::kMebibyte),
                    kLocalVolumeMapBytes);
}

void closeLocalWriter(AcquisitionState& acquisition) {
    std::lock_guard<std::mutex> lock(acquisition.writerMutex);
    if (acquisition.localWriter) {
        acquisition.localWriter->flush();
        acquisition.localWriter->close();
        acquisition.localWriter.reset();
    }
    acquisition.localOutputPath.clear();
}

bool hasLocalWriter(AcquisitionState& acquisition) {
    std::lock_guard<std::mutex> lock(acquisition.writerMutex);
    return acquisition.localWriter != nullptr;
}

int acquireRawDataLocal(const SessionContext& session, AcquisitionState& acquisition, int dataMode, int duration,
                        const char* folderPath, const char* fileName, int maxVolumeSize, uint8_t forceClose) {
    resetAcquisition(session, acquisition);
    const int status = callPlain(
        session,
        {{"cmd", "acq_rawdata"}, {"data_mode", dataMode}, {"duration", duration}, {"force_close", forceClose == 1}});
    // Only a failed exchange stops here; a service code still starts the stream.
    if (status == -1) {
        return -1;
    }
    if (startAcquisitionThread(session, acquisition) == -1) {
        return -1;
    }
    if (ksq::CStringUtils::isEmpty(fileName)) {
        return 0;
    }

    const int dataFormat = callReturningInt(session, {{"cmd", "get_acq_dataformat"}});
    std::string name = fileName;
    ksq::CIOUtils::prepareFileName(name, rawFileExtension(dataFormat));
    const std::string folder = ksq::CStringUtils::isEmpty(folderPath) ? kDefaultRawFolder : folderPath;
    const std::string fullFolder = ksq::CIOUtils::resolveBasePath(folder, session.baseDir);
    if (fullFolder.empty()) {
        session.logError("Get full folder path failed");
        return -1;
    }
    const std::string path = fullFolder + "/" + name;

    // Without a writer the acquisition keeps running: its data can still
    // be taken with ci_fetch_rawdata.
    try {
        const uint64_t mapSize = localVolumeMapSize(maxVolumeSize);
        auto writer = std::make_shared<ksq::AsyncFileWriter>(path, maxVolumeSize, mapSize, mapSize);
        std::lock_guard<std::mutex> lock(acquisition.writerMutex);
        acquisition.localWriter = std::move(writer);
        acquisition.localOutputPath = path;
    } catch (const std::exception& e) {
        session.logError(std::string("Writer creation failed: ") + e.what());
        return -1;
    }
    startLocalWriterThread(session, acquisition);
    return 0;
}

}  // namespace vel
