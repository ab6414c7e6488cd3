#include "analysis/startstop_raw_writer.h"

#include "analysis/analysis_state.h"
#include "analysis/point_csv.h"
#include "analysis/startstop_recording.h"
#include "core/session_context.h"
#include "core/output_file.h"
#include "core/io_utils.h"

#include <fstream>
#include <mutex>
#include <utility>

namespace vel::analysis {

namespace {

constexpr const char* kThreadName = "Start-stop RAW writer thread";
constexpr const char* kHeaderLine = "x_stop_tdiff, y_stop_tdiff";

struct ChannelFile {
    int32_t startChan;
    std::unique_ptr<std::ofstream> stream;  // null when the channel is skipped
};

std::unique_ptr<std::ofstream> openChannelFile(const SessionContext& session, int32_t startChan,
                                               const std::string& folder, const std::string& baseName) {
    // Appended rather than "_" + std::to_string(...), which GCC 12 wrongly
    // reports as an overlapping copy (-Wrestrict) once inlined.
    std::string suffix = "_";
    suffix += std::to_string(startChan);
    const std::string path =
        createOutputFile(session, folder.c_str(), baseName.c_str(), suffix.c_str(), ".csv", "", kHeaderLine);
    if (path.empty()) {
        session.logError("Create output file path failed for start-stop analysis RAW data: " + baseName + suffix);
        return nullptr;
    }
    auto stream = std::make_unique<std::ofstream>(ksq::CIOUtils::fromUtf8String(path), std::ios::app);
    if (!*stream) {
        session.logError("Failed to open raw data file for channel " + std::to_string(startChan) + ": " + path);
        return nullptr;
    }
    return stream;
}

bool anyPairsBuffered(const AnalysisState& state, const std::vector<ChannelFile>& files) {
    for (const ChannelFile& file : files) {
        const auto found = state.startstopRawBuffers.find(file.startChan);
        if (found != state.startstopRawBuffers.end() && found->second && !found->second->empty()) {
            return true;
        }
    }
    return false;
}

// Moves the buffered pairs out, channel by channel (the buffers stay, empty).
// The caller holds rawBufferMutex.
std::vector<PointList> takeBufferedPairs(AnalysisState& state, const std::vector<ChannelFile>& files) {
    std::vector<PointList> taken(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const auto found = state.startstopRawBuffers.find(files[i].startChan);
        if (found != state.startstopRawBuffers.end() && found->second) {
            taken[i] = std::move(*found->second);
            found->second->clear();
        }
    }
    return taken;
}

void writeUntilDrained(const SessionContext& session, AnalysisState& state,
                       const std::vector<int32_t>& dualStartChannels, const std::string& folder,
                       const std::string& baseName) {
    std::vector<ChannelFile> files;
    files.reserve(dualStartChannels.size());
    for (int32_t startChan : dualStartChannels) {
        files.push_back({startChan, openChannelFile(session, startChan, folder, baseName)});
    }

    std::string text;
    for (;;) {
        std::vector<PointList> taken;
        {
            std::unique_lock<std::mutex> lock(state.rawBufferMutex);
            state.rawDataCond.wait(lock, [&] { return !state.rawProducerActive || anyPairsBuffered(state, files); });
            if (!anyPairsBuffered(state, files)) {
                return;  // the recording has ended and everything is written
            }
            taken = takeBufferedPairs(state, files);
        }
        for (size_t i = 0; i < files.size(); ++i) {
            if (files[i].stream && !taken[i].empty()) {
                text.clear();
                appendPointLines(text, taken[i]);
                files[i].stream->write(text.data(), static_cast<std::streamsize>(text.size()));
                files[i].stream->flush();
            }
        }
    }
}

}  // namespace

void writeDualStops(const SessionContext& session, AnalysisState& state, std::vector<int32_t> dualStartChannels,
                    std::string folder, std::string baseName) noexcept {
    guardOperation(session, 0, kThreadName, [&] {
        writeUntilDrained(session, state, dualStartChannels, folder, baseName);
        return 0;
    });
    std::lock_guard<std::mutex> lock(state.rawBufferMutex);
    state.startstopRawBuffers.clear();
}

}  // namespace vel::analysis
