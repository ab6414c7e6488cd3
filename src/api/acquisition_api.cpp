// Raw data acquisition: the stream in memory, local volume files, and the
// service's acquisition state and data format.

#include <veltranoapi/veltranoapi.h>

#include "acq/acquisition_stream.h"
#include "acq/local_acquisition.h"
#include "net/call_kinds.h"

extern "C" {

CI_API int ci_acq_rawdata(uint64_t handle, int data_mode, int duration, const char* folder_path,
                          const char* file_name, int max_volume_size, uint8_t force_close) {
    return vel::acquireRawData(handle, data_mode, duration, folder_path, file_name, max_volume_size, force_close);
}

CI_API char* ci_fetch_rawdata(uint64_t handle, int* size, int timeout_ms) {
    return vel::fetchRawData(handle, size, timeout_ms);
}

CI_API int ci_stop_acq(uint64_t handle) {
    return vel::stopAcquisition(handle);
}

CI_API int ci_wait_data_ready(uint64_t handle, int timeout_ms) {
    return vel::callPlain(handle, {{"cmd", "wait_data_ready"}, {"timeout_ms", timeout_ms}});
}

CI_API int ci_is_rawdata_processing(uint64_t handle, bool* processing) {
    return vel::callWithBoolValue(handle, {{"cmd", "is_rawdata_processing"}}, processing);
}

CI_API int ci_set_acq_dataformat(uint64_t handle, int data_format) {
    return vel::callPlain(handle, {{"cmd", "set_acq_dataformat"}, {"data_format", data_format}});
}

CI_API int ci_get_acq_dataformat(uint64_t handle) {
    return vel::callReturningInt(handle, {{"cmd", "get_acq_dataformat"}});
}

CI_API int ci_acq_rawdata_local(uint64_t handle, int data_mode, int duration, const char* folder_path,
                                const char* file_name, int max_volume_size, uint8_t force_close) {
    return vel::acquireRawDataLocal(handle, data_mode, duration, folder_path, file_name, max_volume_size,
                                    force_close);
}

}  // extern "C"
