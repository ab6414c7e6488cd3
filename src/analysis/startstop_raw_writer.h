#pragma once
// The start-stop raw writer (file mode): it appends the dual-stop pairs of
// each dual-stop start channel to that channel's CSV file
// (<base name>_<start channel>, header "x_stop_tdiff, y_stop_tdiff").

#include <cstdint>
#include <string>
#include <vector>

namespace vel {
class SessionContext;
struct AnalysisState;
}  // namespace vel

namespace vel::analysis {

// The thread body; its starter holds the session until it ends, which is when the
// recording thread has ended (rawProducerActive cleared) and every pair it
// appended has been taken, so each fetched pair reaches its file; then it
// clears startstopRawBuffers. It
// takes the pairs under rawBufferMutex and writes outside it. Joined by
// stopping the analysis threads (after the recording thread). A channel whose
// file cannot be prepared or opened is skipped: its pairs are taken and
// dropped. Never throws.
void writeDualStops(const SessionContext& session, AnalysisState& state, std::vector<int32_t> dualStartChannels,
                    std::string folder, std::string baseName) noexcept;

}  // namespace vel::analysis
