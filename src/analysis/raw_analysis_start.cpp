// The starts of the raw-data analyses: the period analysis (per-cycle periods
// sampled into the raw buffer, histogram and four stability curves saved at
// stop) and the A/D analysis (samples of one A/D channel into the raw buffer).

#include "analysis/analysis_control.h"
#include "analysis/analysis_starts.h"
#include "analysis/analysis_state.h"
#include "analysis/run_start.h"
#include "core/output_file.h"
#include "core/session_context.h"

#include <array>

namespace vel::analysis {
namespace {

const RawCacheMessages kPeriodCacheMessages = {
    "Fetch raw analysis failed, stopping period analysis thread",
    "Thread duration timeout reached, stopping period analysis raw data cache "
    "thread",
    "Period RAW data cache thread",
};

const RawCacheMessages kAdCacheMessages = {
    "Fetch raw analysis failed, stopping A/D analysis thread",
    "Thread duration timeout reached, stopping A/D analysis raw data cache "
    "thread",
    "A/D RAW data cache thread",
};

struct PeriodFile {
    const char* suffix;
    const char* header;
};

// In this order: the raw periods, the histogram, then the four deviations.
constexpr std::array<PeriodFile, 6> kPeriodFiles = {{
    {"_period", "cycle_index, period(ps)"},
    {"_counts", "period(ps), counts"},
    {"_adev", "tau(s), adev"},
    {"_mdev", "tau(s), mdev"},
    {"_tdev", "tau(s), tdev"},
    {"_hdev", "tau(s), hdev"},
}};

}  // namespace

int startPeriod(const SessionContext& session, AnalysisState& state, const nlohmann::json& request, int duration,
                int samplingIntervalMs, const std::string& folder, const std::string& fileName) {
    endEarlierRawRun(session, state);
    {
        // The deviation paths are emptied too: a run without files must not
        // append its curves to an earlier run's files.
        std::lock_guard<std::mutex> lock(state.pathMutex);
        state.processDataPath.clear();
        state.adevPath.clear();
        state.mdevPath.clear();
        state.tdevPath.clear();
        state.hdevPath.clear();
    }

    std::array<std::string, kPeriodFiles.size()> paths;
    if (!fileName.empty()) {
        for (size_t i = 0; i < kPeriodFiles.size(); ++i) {
            paths[i] = createOutputFile(session, folder.c_str(), fileName.c_str(), kPeriodFiles[i].suffix, ".csv", "",
                                        kPeriodFiles[i].header);
            if (paths[i].empty()) {
                session.logError("Prepare output file paths failed for period analysis");
                return -1;
            }
        }
        std::lock_guard<std::mutex> lock(state.pathMutex);
        state.processDataPath = paths[1];
        state.adevPath = paths[2];
        state.mdevPath = paths[3];
        state.tdevPath = paths[4];
        state.hdevPath = paths[5];
    }
    return sendRawDataStart(session, state, request, duration, samplingIntervalMs, kPeriodCacheMessages, paths[0],
                            Kind::Period);
}

int startAd(const SessionContext& session, AnalysisState& state, const nlohmann::json& request, int duration,
            int samplingIntervalMs, const std::string& folder, const std::string& fileName) {
    endEarlierRawRun(session, state);
    std::string rawPath;
    if (!fileName.empty()) {
        rawPath = createOutputFile(session, folder.c_str(), fileName.c_str(), "", ".csv", "", "sampling_points, adc");
        if (rawPath.empty()) {
            session.logError("Prepare output file path failed for A/D analysis");
            return -1;
        }
    }
    return sendRawDataStart(session, state, request, duration, samplingIntervalMs, kAdCacheMessages, rawPath, Kind::Ad);
}

}  // namespace vel::analysis
