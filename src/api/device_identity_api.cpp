// Identity and health values the service reports one at a time.

#include <veltranoapi/veltranoapi.h>

#include "api/export_boundary.h"
#include "device/device_calls.h"

using namespace vel::device;
using vel::SessionContext;
using vel::withConnection;

extern "C" {

CI_API int ci_get_fan_speed(uint64_t handle) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return readReturnedInt(session, "get_fanspeed"); });
}

CI_API int ci_get_device_model(uint64_t handle) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return readReturnedInt(session, "get_devicemodel"); });
}

CI_API int ci_get_device_type(uint64_t handle) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return readReturnedInt(session, "get_devicetype"); });
}

CI_API int ci_get_channel_num(uint64_t handle) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return readReturnedInt(session, "get_channelnum"); });
}

CI_API int ci_get_fw_version(uint64_t handle, char* buffer, int bufferLen) {
    return withConnection(
        handle, [&](const SessionContext& session) { return readText(session, "get_fwversion", buffer, bufferLen); });
}

CI_API int ci_get_product_sn(uint64_t handle, char* buffer, int bufferLen) {
    return withConnection(
        handle, [&](const SessionContext& session) { return readText(session, "get_productsn", buffer, bufferLen); });
}

}  // extern "C"
