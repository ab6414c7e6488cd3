// The exports every analysis shares: the stop functions of the nine analysis
// kinds, the processed-data and memory-mode raw fetches, clearing the
// service's analysis data and the n-fold coincidence processing query.

#include <veltranoapi/veltranoapi.h>

#include "analysis/analysis_control.h"
#include "analysis/analysis_kinds.h"
#include "analysis/point_list_fetch.h"
#include "net/call_kinds.h"

namespace {

using namespace vel::analysis;

// The service answers "fetch_processdata" for whichever analysis it holds, so
// every processed-data export is this one fetch.
int64_t* fetchProcessData(uint64_t handle, int* count) {
    return fetchIntegerPairs(handle, "fetch_processdata", count);
}

}  // namespace

extern "C" {

CI_API int ci_stop_tof_analysis(uint64_t handle) {
    return stopAnalysis(handle, kTimeOfFlight);
}

CI_API int ci_stop_ad_analysis(uint64_t handle) {
    return stopAnalysis(handle, kAd);
}

CI_API int ci_stop_tot_analysis(uint64_t handle) {
    return stopAnalysis(handle, kTimeOverThreshold);
}

CI_API int ci_stop_es_analysis(uint64_t handle) {
    return stopAnalysis(handle, kEnergySpectrum);
}

CI_API int ci_stop_conform_es_analysis(uint64_t handle) {
    return stopAnalysis(handle, kConformEnergySpectrum);
}

CI_API int ci_stop_period_analysis(uint64_t handle) {
    return stopAnalysis(handle, kPeriod);
}

CI_API int ci_stop_startstop_analysis(uint64_t handle) {
    return stopAnalysis(handle, kStartStop);
}

CI_API int ci_stop_ncoins_analysis(uint64_t handle) {
    return stopAnalysis(handle, kNCoincidences);
}

CI_API int ci_stop_autocorrelation_analysis(uint64_t handle) {
    return stopAnalysis(handle, kAutocorrelation);
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

CI_API int64_t* ci_fetch_period_rawdata(uint64_t handle, int* count, int timeout_ms) {
    return fetchBufferedRawPoints(handle, count, timeout_ms);
}

CI_API int64_t* ci_fetch_ad_rawdata(uint64_t handle, int* count, int timeout_ms) {
    return fetchBufferedRawPoints(handle, count, timeout_ms);
}

CI_API int ci_clear_analysis_data(uint64_t handle) {
    return vel::callReturningInt(handle, {{"cmd", "clear_analysis_data"}});
}

CI_API int ci_is_ncoins_analysis_processing(uint64_t handle, bool* processing) {
    return vel::callWithBoolValue(handle, {{"cmd", "is_ncoins_analysis_processing"}}, processing);
}

}  // extern "C"
