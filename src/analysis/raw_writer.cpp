// The analysis raw writer: in file mode it drains the raw point buffer into
// the raw CSV file as points arrive.
//
// The thread holds a shared reference to its session. It waits on rawDataCond
// (under rawBufferMutex) for points or for the end of their producer, swaps the
// whole buffer out under that lock and formats and writes outside it, under
// rawFileMutex. It leaves only once a stop was requested, the producer has
// ended and the buffer is empty, so every point fetched reaches the file.
// stopAnalysisThreads joins it under analysisThreadMutex.

#include "analysis/analysis_control.h"
#include "analysis/analysis_state.h"
#include "analysis/point_csv.h"
#include "core/session_context.h"
#include "core/io_utils.h"

#include <fstream>
#include <memory>

namespace vel::analysis {
namespace {

constexpr const char* kWriterName = "Analysis RAW writer thread";

// Waits for points; an empty batch with finished set means nothing more comes.
PointList takeNextBatch(AnalysisState& state, bool& finished) {
    std::unique_lock<std::mutex> lock(state.rawBufferMutex);
    auto hasPoints = [&] { return state.rawPoints && !state.rawPoints->empty(); };
    auto producerDone = [&] { return state.rawStopRequested.load() && !state.rawProducerActive; };
    state.rawDataCond.wait(lock, [&] { return hasPoints() || producerDone(); });
    PointList batch;
    if (hasPoints()) {
        batch.swap(*state.rawPoints);
    }
    finished = batch.empty() && producerDone();
    return batch;
}

void runRawWriter(const SessionContext& session, AnalysisState& state, const std::string& rawPath) noexcept {
    guardOperation(session, 0, kWriterName, [&] {
        std::ofstream file(ksq::CIOUtils::fromUtf8String(rawPath), std::ios::out | std::ios::app);
        if (!file.is_open()) {
            session.logError("Failed to open raw data file for writing: " + rawPath);
            return 0;
        }
        std::string lines;
        for (;;) {
            bool finished = false;
            const PointList batch = takeNextBatch(state, finished);
            if (finished) {
                break;
            }
            lines.clear();
            appendPointLines(lines, batch);
            std::lock_guard<std::mutex> fileLock(state.rawFileMutex);
            file.write(lines.data(), static_cast<std::streamsize>(lines.size()));
            file.flush();
        }
        file.close();
        std::lock_guard<std::mutex> lock(state.rawBufferMutex);
        state.rawPoints.reset();
        return 0;
    });
}

}  // namespace

void startRawWriter(const SessionContext& session, AnalysisState& state, const std::string& rawPath) {
    guardOperation(session, 0, kWriterName, [&]() {
        state.rawWriterActive.store(true);
        std::lock_guard<std::mutex> threadLock(state.analysisThreadMutex);
        state.rawWriterThread = WorkerThread(
            [keep = shareSessionPart(session, state), &session, rawPath] { runRawWriter(session, *keep, rawPath); });
        return 0;
    });
}

}  // namespace vel::analysis
