// Count rates: the current rate of one channel, and timed recordings of the
// rates into CSV files.

#include <veltranoapi/veltranoapi.h>

#include "acq/count_rate_recording.h"
#include "api/export_boundary.h"
#include "net/call_kinds.h"

namespace {

int readRate(uint64_t handle, const char* command, int channel) noexcept {
    return vel::withConnection(handle, [&](const vel::SessionContext& session) {
        return vel::callReturningInt(session, {{"cmd", command}, {"channel", channel}});
    });
}

int startRecording(uint64_t handle, const vel::RateRecordingKind& kind, int duration, const char* folder,
                   const char* fileName) noexcept {
    if (duration <= 0) {
        return -1;
    }
    return vel::withSession(handle, -1, kind.startOperation, [&](InstInstance& session) {
        return vel::startRateRecording(session.context, session.countRates, kind, duration, folder, fileName);
    });
}

int stopRecording(uint64_t handle, const vel::RateRecordingKind& kind) noexcept {
    return vel::withSession(handle, -1, kind.saveOperation, [&](InstInstance& session) {
        return vel::stopRateRecording(session.context, session.countRates, kind);
    });
}

}  // namespace

extern "C" {

CI_API int ci_get_single_cps(uint64_t handle, int channel) {
    return readRate(handle, "get_single_cps", channel);
}

CI_API int ci_get_coins_cps(uint64_t handle, int channel) {
    return readRate(handle, "get_coins_cps", channel);
}

CI_API int ci_output_single_cps(uint64_t handle, int duration, const char* folder, const char* fileName) {
    return startRecording(handle, vel::kSingleRateRecording, duration, folder, fileName);
}

CI_API int ci_output_coins_cps(uint64_t handle, int duration, const char* folder, const char* fileName) {
    return startRecording(handle, vel::kCoinsRateRecording, duration, folder, fileName);
}

CI_API int ci_stop_singlecps_recording(uint64_t handle) {
    return stopRecording(handle, vel::kSingleRateRecording);
}

CI_API int ci_stop_coinscps_recording(uint64_t handle) {
    return stopRecording(handle, vel::kCoinsRateRecording);
}

}  // extern "C"
