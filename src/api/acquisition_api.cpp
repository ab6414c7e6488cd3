// Raw data acquisition: the stream in memory, local volume files, and the
// service's acquisition state and data format.

#include <veltranoapi/veltranoapi.h>

#include "acq/acquisition_stream.h"
#include "acq/local_acquisition.h"
#include "api/export_boundary.h"
#include "net/call_kinds.h"

extern "C" {

CI_API int ci_acq_rawdata(uint64_t handle, int dataMode, int duration, const char* folderPath, const char* fileName,
                          int maxVolumeSize, uint8_t forceClose) {
    if (duration < 1) {
        return -1;
    }
    return vel::withSession(handle, -1, "Acq raw data", [&](InstInstance& session) {
        return vel::acquireRawData(session.context, session.acquisition, dataMode, duration, folderPath, fileName,
                                   maxVolumeSize, forceClose);
    });
}

CI_API char* ci_fetch_rawdata(uint64_t handle, int* size, int timeoutMs) {
    if (size != nullptr) {
        *size = 0;
    }
    return vel::withSession(handle, static_cast<char*>(nullptr), "Fetch raw data", [&](InstInstance& session) {
        return vel::fetchRawData(session.acquisition, size, timeoutMs);
    });
}

CI_API int ci_stop_acq(uint64_t handle) {
    return vel::withSession(handle, -1, "Stop acq", [&](InstInstance& session) {
        return vel::stopAcquisition(session.context, session.acquisition);
    });
}

CI_API int ci_wait_data_ready(uint64_t handle, int timeoutMs) {
    return vel::withConnection(handle, [&](const vel::SessionContext& session) {
        return vel::callPlain(session, {{"cmd", "wait_data_ready"}, {"timeout_ms", timeoutMs}});
    });
}

CI_API int ci_is_rawdata_processing(uint64_t handle, bool* processing) {
    return vel::withConnection(handle, [&](const vel::SessionContext& session) {
        return vel::callWithBoolValue(session, {{"cmd", "is_rawdata_processing"}}, processing);
    });
}

CI_API int ci_set_acq_dataformat(uint64_t handle, int dataFormat) {
    return vel::withConnection(handle, [&](const vel::SessionContext& session) {
        return vel::callPlain(session, {{"cmd", "set_acq_dataformat"}, {"data_format", dataFormat}});
    });
}

CI_API int ci_get_acq_dataformat(uint64_t handle) {
    return vel::withConnection(handle, [&](const vel::SessionContext& session) {
        return vel::callReturningInt(session, {{"cmd", "get_acq_dataformat"}});
    });
}

CI_API int ci_acq_rawdata_local(uint64_t handle, int dataMode, int duration, const char* folderPath,
                                const char* fileName, int maxVolumeSize, uint8_t forceClose) {
    if (duration < 1) {
        return -1;
    }
    return vel::withSession(handle, -1, "Acq raw data local", [&](InstInstance& session) {
        return vel::acquireRawDataLocal(session.context, session.acquisition, dataMode, duration, folderPath, fileName,
                                        maxVolumeSize, forceClose);
    });
}

}  // extern "C"
