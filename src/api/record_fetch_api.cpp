// The caller's record fetches: T2 time tags of an autocorrelation run, T3
// time tags of a time-of-flight or start-stop run, and the time-over-threshold
// and energy-spectrum records. One polling fetch serves them all; they differ
// in their command, record layout, texts and the flags of the latest start.

#include <veltranoapi/veltranoapi.h>

#include "analysis/record_fetch.h"
#include "api/export_boundary.h"

#include <atomic>

namespace {

using vel::AnalysisState;
using vel::analysis::RecordLayout;

struct RecordSource {
    const char* command;
    const RecordLayout& layout;
    const char* failed;     // "Fetch T2 data failed"
    const char* operation;  // "Fetch T2 data"
    std::atomic<bool> AnalysisState::*enabled;
    std::atomic<bool> AnalysisState::*toFile;
};

const RecordSource kT2Source{"fetch_t2_data", vel::analysis::kT2Records, "Fetch T2 data failed",
                             "Fetch T2 data", &AnalysisState::t2Enabled, &AnalysisState::t2ToFile};
const RecordSource kT3Source{"fetch_t3_data", vel::analysis::kT3Records, "Fetch T3 data failed",
                             "Fetch T3 data", &AnalysisState::t3Enabled, &AnalysisState::t3ToFile};
const RecordSource kTotSource{"fetch_tot_data", vel::analysis::kPulseRecords,   "Fetch TOT data failed",
                              "Fetch TOT data", &AnalysisState::totDataEnabled, &AnalysisState::totDataToFile};
const RecordSource kEsSource{"fetch_es_data", vel::analysis::kPulseRecords,  "Fetch ES data failed",
                             "Fetch ES data", &AnalysisState::esDataEnabled, &AnalysisState::esDataToFile};

// Null at once, nothing sent, unless the latest start asked the service to
// keep records for the caller (flag 1, no file name).
int64_t* fetchRecords(uint64_t handle, const RecordSource& source, int* count, int timeoutMs) noexcept {
    if (count != nullptr) {
        *count = 0;
    }
    return vel::withSession<int64_t*>(handle, nullptr, source.operation, [&](InstInstance& session) -> int64_t* {
        const AnalysisState& state = session.analysis;
        if (!(state.*source.enabled) || (state.*source.toFile)) {
            return nullptr;
        }
        const vel::analysis::RecordFetch fetch{
            {{"cmd", source.command}}, source.layout, source.failed, source.operation, std::chrono::milliseconds(20)};
        return vel::analysis::pollRecords(session.context, fetch, source.failed, count, timeoutMs);
    });
}

}  // namespace

extern "C" {

CI_API int64_t* ci_fetch_t2_data(uint64_t handle, int* count, int timeoutMs) {
    return fetchRecords(handle, kT2Source, count, timeoutMs);
}

CI_API int64_t* ci_fetch_t3_data(uint64_t handle, int* count, int timeoutMs) {
    return fetchRecords(handle, kT3Source, count, timeoutMs);
}

CI_API int64_t* ci_fetch_tot_data(uint64_t handle, int* count, int timeoutMs) {
    return fetchRecords(handle, kTotSource, count, timeoutMs);
}

CI_API int64_t* ci_fetch_es_data(uint64_t handle, int* count, int timeoutMs) {
    return fetchRecords(handle, kEsSource, count, timeoutMs);
}

}  // extern "C"
