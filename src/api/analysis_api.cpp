// The exports every analysis shares: the stop functions of the nine analysis
// kinds, the processed-data and memory-mode raw fetches, clearing the
// service's analysis data and the n-fold coincidence processing query.

#include <veltranoapi/veltranoapi.h>

#include "analysis/analysis_control.h"
#include "analysis/analysis_kinds.h"
#include "analysis/point_list_fetch.h"
#include "api/export_boundary.h"
#include "net/call_kinds.h"

namespace {

using namespace vel::analysis;

// The service answers "fetch_processdata" for whichever analysis it holds, so
// every processed-data export is this one fetch.
int64_t* fetchProcessData(uint64_t handle, int* count) {
    return vel::withArrayFetch<int64_t>(handle, count, [&](InstInstance& session) {
        return fetchIntegerPairs(session.context, "fetch_processdata", count);
    });
}

int stopKind(uint64_t handle, Kind kind) {
    return vel::withSession(handle, -1, "Stop analysis", [&](InstInstance& session) {
        return stopAnalysis(session.context, session.analysis, kind);
    });
}

int64_t* fetchRawPoints(uint64_t handle, int* count, int timeoutMs) {
    return vel::withArrayFetch<int64_t>(handle, count, [&](InstInstance& session) {
        return fetchBufferedRawPoints(session.context, session.analysis, count, timeoutMs);
    });
}

}  // namespace

extern "C" {

CI_API int ci_stop_tof_analysis(uint64_t handle) {
    return stopKind(handle, Kind::TimeOfFlight);
}

CI_API int ci_stop_ad_analysis(uint64_t handle) {
    return stopKind(handle, Kind::Ad);
}

CI_API int ci_stop_tot_analysis(uint64_t handle) {
    return stopKind(handle, Kind::TimeOverThreshold);
}

CI_API int ci_stop_es_analysis(uint64_t handle) {
    return stopKind(handle, Kind::EnergySpectrum);
}

CI_API int ci_stop_conform_es_analysis(uint64_t handle) {
    return stopKind(handle, Kind::ConformEnergySpectrum);
}

CI_API int ci_stop_period_analysis(uint64_t handle) {
    return stopKind(handle, Kind::Period);
}

CI_API int ci_stop_startstop_analysis(uint64_t handle) {
    return stopKind(handle, Kind::StartStop);
}

CI_API int ci_stop_ncoins_analysis(uint64_t handle) {
    return stopKind(handle, Kind::NCoincidences);
}

CI_API int ci_stop_autocorrelation_analysis(uint64_t handle) {
    return stopKind(handle, Kind::Autocorrelation);
}

CI_API int64_t* ci_fetch_tof_processdata(uint64_t handle, int* count) {
    return fetchProcessData(handle, count);
}

CI_API int64_t* ci_fetch_tot_processdata(uint64_t handle, int* count) {
    return fetchProcessData(handle, count);
}

CI_API int64_t* ci_fetch_es_processdata(uint64_t handle, int* count) {
    return fetchProcessData(handle, count);
}

CI_API int64_t* ci_fetch_conform_es_processdata(uint64_t handle, int* count) {
    return fetchProcessData(handle, count);
}

CI_API int64_t* ci_fetch_period_processdata(uint64_t handle, int* count) {
    return fetchProcessData(handle, count);
}

CI_API int64_t* ci_fetch_period_rawdata(uint64_t handle, int* count, int timeoutMs) {
    return fetchRawPoints(handle, count, timeoutMs);
}

CI_API int64_t* ci_fetch_ad_rawdata(uint64_t handle, int* count, int timeoutMs) {
    return fetchRawPoints(handle, count, timeoutMs);
}

CI_API int ci_clear_analysis_data(uint64_t handle) {
    return vel::withConnection(handle, [&](const vel::SessionContext& session) {
        return vel::callReturningInt(session, {{"cmd", "clear_analysis_data"}});
    });
}

CI_API int ci_is_ncoins_analysis_processing(uint64_t handle, bool* processing) {
    return vel::withConnection(handle, [&](const vel::SessionContext& session) {
        return vel::callWithBoolValue(session, {{"cmd", "is_ncoins_analysis_processing"}}, processing);
    });
}

}  // extern "C"
