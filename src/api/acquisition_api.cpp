// Raw data acquisition: the stream in memory, local volume files, and the
// service's acquisition state and data format.

#include <veltranoapi/veltranoapi.h>

#include "acq/acquisition_stream.h"
#include "acq/local_acquisition.h"
#include "api/export_boundary.h"
#include "net/call_kinds.h"

extern "C" {

CI_API int ci_acq_rawdata(uint64_t handle, int data_mode, int duration, const char* folder_path, const char* file_name,
                          int max_volume_size, uint8_t force_close) {
    if (duration < 1) {
        return -1;
    }
    return vel::withSession(handle, -1, "Acq raw data", [&](InstInstance& session) {
        return vel::acquireRawData(session.context, session.acquisition, data_mode, duration, folder_path, file_name,
                                   max_volume_size, force_close);
    });
}

CI_API char* ci_fetch_rawdata(uint64_t handle, int* size, int timeout_ms) {
    if (size != nullptr) {
        *size = 0;
    }
    return vel::withSession(handle, static_cast<char*>(nullptr), "Fetch raw data", [&](InstInstance& session) {
        return vel::fetchRawData(session.acquisition, size, timeout_ms);
    });
}

CI_API int ci_stop_acq(uint64_t handle) {
    return vel::withSession(handle, -1, "Stop acq", [&](InstInstance& session) {
        return vel::stopAcquisition(session.context, session.acquisition);
    });
}

CI_API int ci_wait_data_ready(uint64_t handle, int timeout_ms) {
    return vel::withConnection(handle, [&](const vel::SessionContext& session) {
        return vel::callPlain(session, {{"cmd", "wait_data_ready"}, {"timeout_ms", timeout_ms}});
    });
}

CI_API int ci_is_rawdata_processing(uint64_t handle, bool* processing) {
    return vel::withConnection(handle, [&](const vel::SessionContext& session) {
        return vel::callWithBoolValue(session, {{"cmd", "is_rawdata_processing"}}, processing);
    });
}

CI_API int ci_set_acq_dataformat(uint64_t handle, int data_format) {
    return vel::withConnection(handle, [&](const vel::SessionContext& session) {
        return vel::callPlain(session, {{"cmd", "set_acq_dataformat"}, {"data_format", data_format}});
    });
}

CI_API int ci_get_acq_dataformat(uint64_t handle) {
    return vel::withConnection(handle, [&](const vel::SessionContext& session) {
        return vel::callReturningInt(session, {{"cmd", "get_acq_dataformat"}});
    });
}

CI_API int ci_acq_rawdata_local(uint64_t handle, int data_mode, int duration, const char* folder_path,
                                const char* file_name, int max_volume_size, uint8_t force_close) {
    if (duration < 1) {
        return -1;
    }
    return vel::withSession(handle, -1, "Acq raw data local", [&](InstInstance& session) {
        return vel::acquireRawDataLocal(session.context, session.acquisition, data_mode, duration, folder_path,
                                        file_name, max_volume_size, force_close);
    });
}

}  // extern "C"
