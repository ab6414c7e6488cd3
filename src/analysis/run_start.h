#pragma once
// The shared steps of analysis starts: for histogram analyses
// (autocorrelation, time over threshold, energy spectrum) preparing the one
// CSV file that receives the processed data at stop and sending the start;
// for raw-data analyses (period, A/D) ending the earlier raw run and sending
// the start that launches the raw threads.

#include "analysis/analysis_kinds.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdint>
#include <string>

namespace vel {
class SessionContext;
struct AnalysisState;
}  // namespace vel

namespace vel::analysis {

struct RawCacheMessages;

// Empties processDataPath; with a file name, creates <fileName>.csv (no
// suffix) with its header line and stores its path there. False, with
// failedMessage logged, when no path can be formed.
bool prepareProcessDataFile(const SessionContext& session, AnalysisState& state, const std::string& folder,
                            const std::string& fileName, const char* header, const char* failedMessage);

// Begins the run and sends the start command. On status 0, records the
// service now writes into its own file (withFile) are marked in
// recordsToFile, and the stop timer is armed for kind. Returns the status.
int sendHistogramStart(const SessionContext& session, AnalysisState& state, const nlohmann::json& request, int duration,
                       Kind kind, std::atomic<bool>& recordsToFile, bool withFile);

// The raw polling interval in ms: samplingIntervalMs, or 10 below 1.
int effectiveSamplingInterval(int samplingIntervalMs);

// Stops and joins the raw threads of an earlier run and drops its buffer.
void endEarlierRawRun(const SessionContext& session, AnalysisState& state);

// Begins the run and sends the start command. On status 0 starts the raw
// cache thread (and in file mode, rawPath not empty, the raw writer) and
// arms the stop timer for kind. Returns the status.
int sendRawDataStart(const SessionContext& session, AnalysisState& state, const nlohmann::json& request, int duration,
                     int samplingIntervalMs, const RawCacheMessages& messages, const std::string& rawPath, Kind kind);

}  // namespace vel::analysis
