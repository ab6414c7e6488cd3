// The instrument's network identity, in the plain set and the w-set. Both sets
// have the same request and reply shapes; only the command names differ.
// Addresses are sent verbatim as strings (a null text as ""), ports as integers.

#include <veltranoapi/veltranoapi.h>

#include "core/string_utils.h"
#include "device/device_calls.h"
#include "net/call_kinds.h"

using ksq::CStringUtils;
using vel::device::guarded;

namespace {

int setIps(uint64_t handle, const char* command, const char* localIp, const char* deviceIp) noexcept {
    return guarded([&] {
        return vel::callPlain(handle, {{"cmd", command},
                                       {"local_ip", CStringUtils::safe_string(localIp)},
                                       {"device_ip", CStringUtils::safe_string(deviceIp)}});
    });
}

int getIps(uint64_t handle, const char* command, char* localIp, int localIpLen, char* deviceIp,
           int deviceIpLen) noexcept {
    return guarded([&] {
        return vel::callWithIpValue(handle, {{"cmd", command}}, localIp, localIpLen, deviceIp, deviceIpLen);
    });
}

int setPorts(uint64_t handle, const char* command, int localPort, int devicePort) noexcept {
    return guarded([&] {
        return vel::callPlain(handle, {{"cmd", command}, {"local_port", localPort}, {"device_port", devicePort}});
    });
}

int getPorts(uint64_t handle, const char* command, int* localPort, int* devicePort) noexcept {
    return guarded([&] { return vel::callWithNetportValue(handle, {{"cmd", command}}, localPort, devicePort); });
}

int setMac(uint64_t handle, const char* command, const char* deviceMac) noexcept {
    return guarded([&] {
        return vel::callPlain(handle, {{"cmd", command}, {"device_mac", CStringUtils::safe_string(deviceMac)}});
    });
}

int getMac(uint64_t handle, const char* command, char* deviceMac, int deviceMacLen) noexcept {
    return guarded([&] { return vel::callWithMacValue(handle, {{"cmd", command}}, deviceMac, deviceMacLen); });
}

}  // namespace

extern "C" {

CI_API int ci_set_ips(uint64_t handle, const char* local_ip, const char* device_ip) {
    return setIps(handle, "set_ips", local_ip, device_ip);
}

CI_API int ci_get_ips(uint64_t handle, char* local_ip, int local_ip_len, char* device_ip, int device_ip_len) {
    return getIps(handle, "get_ips", local_ip, local_ip_len, device_ip, device_ip_len);
}

CI_API int ci_set_net_ports(uint64_t handle, int local_port, int device_port) {
    return setPorts(handle, "set_netports", local_port, device_port);
}

CI_API int ci_get_net_ports(uint64_t handle, int* local_port, int* device_port) {
    return getPorts(handle, "get_netports", local_port, device_port);
}

CI_API int ci_set_mac(uint64_t handle, const char* device_mac) {
    return setMac(handle, "set_mac", device_mac);
}

CI_API int ci_get_mac(uint64_t handle, char* device_mac, int device_mac_len) {
    return getMac(handle, "get_mac", device_mac, device_mac_len);
}

CI_API int ci_set_wips(uint64_t handle, const char* local_ip, const char* device_ip) {
    return setIps(handle, "set_wips", local_ip, device_ip);
}

CI_API int ci_get_wips(uint64_t handle, char* local_ip, int local_ip_len, char* device_ip, int device_ip_len) {
    return getIps(handle, "get_wips", local_ip, local_ip_len, device_ip, device_ip_len);
}

// The w-set ports are written with "set_wnetports", the counterpart of
// "get_wnetports" that our service accepts.
CI_API int ci_set_wnet_ports(uint64_t handle, int local_port, int device_port) {
    return setPorts(handle, "set_wnetports", local_port, device_port);
}

CI_API int ci_get_wnet_ports(uint64_t handle, int* local_port, int* device_port) {
    return getPorts(handle, "get_wnetports", local_port, device_port);
}

CI_API int ci_set_wmac(uint64_t handle, const char* device_mac) {
    return setMac(handle, "set_wmac", device_mac);
}

CI_API int ci_get_wmac(uint64_t handle, char* device_mac, int device_mac_len) {
    return getMac(handle, "get_wmac", device_mac, device_mac_len);
}

}  // extern "C"
