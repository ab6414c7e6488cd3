// The period analysis: the service measures a periodic signal cycle by cycle;
// the library samples the per-cycle periods into the raw buffer (a CSV file
// or the caller) and saves the histogram and four stability curves at stop.

#include <veltranoapi/veltranoapi.h>

#include "analysis/analysis_control.h"
#include "analysis/analysis_kinds.h"
#include "analysis/analysis_state.h"
#include "analysis/run_start.h"
#include "analysis/point_list_fetch.h"
#include "api/export_boundary.h"
#include "api/output_file.h"
#include "core/string_utils.h"

#include <array>
#include <string>

namespace {

using namespace vel::analysis;

const RawCacheMessages kPeriodCacheMessages = {
    "Fetch raw analysis failed, stopping period analysis thread",
    "Thread duration timeout reached, stopping period analysis raw data cache "
    "thread",
    "Period RAW data cache thread",
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

int startPeriod(InstInstance& session, uint64_t handle, int duration, const nlohmann::json& request,
                int samplingIntervalMs, const std::string& folder, const std::string& fileName) {
    vel::AnalysisState& state = session.analysis;
    endEarlierRawRun(handle, state);
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
            paths[i] = vel::createOutputFile(handle, folder.c_str(), fileName.c_str(), kPeriodFiles[i].suffix, ".csv",
                                             "", kPeriodFiles[i].header);
            if (paths[i].empty()) {
                vel::logError(handle, "Prepare output file paths failed for period analysis");
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

    return sendRawDataStart(handle, request, duration, samplingIntervalMs, kPeriodCacheMessages, paths[0], kPeriod);
}

}  // namespace

extern "C" {

CI_API int ci_period_analysis(uint64_t handle, int duration, int decades, int decade_points, int average_num,
                              int analysis_length, double fnom_hz, int sampling_interval, int sampling_num,
                              const char* folder_path, const char* file_name) {
    if (duration <= 0) {
        return -1;
    }
    if (static_cast<int64_t>(duration) * 1000 < sampling_interval) {
        vel::logError(handle, "Invalid sampling interval specified");
        return -1;
    }
    return vel::withSession(handle, -1, "Period analysis", [&](InstInstance& session) {
        const int interval = effectiveSamplingInterval(sampling_interval);
        const nlohmann::json request = {{"cmd", "period_analysis"},    {"duration", duration},
                                        {"decades", decades},          {"decade_points", decade_points},
                                        {"average_num", average_num},  {"analysis_length", analysis_length},
                                        {"fnom_hz", fnom_hz},          {"sampling_interval", interval},
                                        {"sampling_num", sampling_num}};
        return startPeriod(session, handle, duration, request, interval, ksq::CStringUtils::safe_string(folder_path),
                           ksq::CStringUtils::safe_string(file_name));
    });
}

CI_API double* ci_fetch_period_stability_metric(uint64_t handle, int stability_metric_type, int* count) {
    if (count != nullptr) {
        *count = 0;
    }
    try {
        return fetchDoublePairs(
            handle, {{"cmd", "fetch_period_stability_metric"}, {"stability_metric_type", stability_metric_type}}, count,
            "Fetch period stability metric data failed", "Fetch period stability metric data");
    } catch (...) {
        return nullptr;  // the request could not be built
    }
}

}  // extern "C"
