// The service's device list and the device status.

#include <veltranoapi/veltranoapi.h>

#include "api/export_boundary.h"
#include "device/device_discovery.h"
#include "device/device_status.h"

using namespace vel::device;

extern "C" {

CI_API int ci_get_devices(uint64_t handle, DEVICE_INFO* devices, int count) {
    return vel::withSession(handle, -1, "Get devices",
                            [&](InstInstance& session) { return readDevices(session.context, devices, count); });
}

CI_API int ci_get_device_num(uint64_t handle) {
    return vel::withSession(handle, -1, "Get device num",
                            [&](InstInstance& session) { return countDevices(session.context); });
}

CI_API int ci_get_device(uint64_t handle, int index, int* deviceType, char* name, int nameLen) {
    if (index < 0 || name == nullptr || nameLen <= 0) {
        return -1;
    }
    return vel::withSession(handle, -1, "Get device", [&](InstInstance& session) {
        return readDevice(session.context, index, deviceType, name, nameLen);
    });
}

CI_API int ci_get_device_status(uint64_t handle, DEVICE_STATUS* status) {
    return vel::withSession(handle, -1, "Get device status",
                            [&](InstInstance& session) { return readDeviceStatus(session.context, status); });
}

CI_API int ci_get_device_temp(uint64_t handle, int* temperature) {
    return vel::withSession(handle, -1, "Get device temperature",
                            [&](InstInstance& session) { return readDeviceTemperature(session.context, temperature); });
}

}  // extern "C"
