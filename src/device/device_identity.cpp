// Identity and health values the service reports one at a time.

#include <veltranoapi/veltranoapi.h>

#include "device/device_calls.h"

using namespace vel::device;

extern "C" {

CI_API int ci_get_fan_speed(uint64_t handle) {
    return readReturnedInt(handle, "get_fanspeed");
}

CI_API int ci_get_device_model(uint64_t handle) {
    return readReturnedInt(handle, "get_devicemodel");
}

CI_API int ci_get_device_type(uint64_t handle) {
    return readReturnedInt(handle, "get_devicetype");
}

CI_API int ci_get_channel_num(uint64_t handle) {
    return readReturnedInt(handle, "get_channelnum");
}

CI_API int ci_get_fw_version(uint64_t handle, char* buffer, int buffer_len) {
    return readText(handle, "get_fwversion", buffer, buffer_len);
}

CI_API int ci_get_product_sn(uint64_t handle, char* buffer, int buffer_len) {
    return readText(handle, "get_productsn", buffer, buffer_len);
}

}  // extern "C"
