// The instrument's network identity, in the plain set and the w-set.

#include <veltranoapi/veltranoapi.h>

#include "api/export_boundary.h"
#include "device/network_settings.h"

using namespace vel::device;
using vel::SessionContext;
using vel::withConnection;

extern "C" {

CI_API int ci_set_ips(uint64_t handle, const char* localIp, const char* deviceIp) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return setIps(session, "set_ips", localIp, deviceIp); });
}

CI_API int ci_get_ips(uint64_t handle, char* localIp, int localIpLen, char* deviceIp, int deviceIpLen) {
    return withConnection(handle, [&](const SessionContext& session) {
        return getIps(session, "get_ips", localIp, localIpLen, deviceIp, deviceIpLen);
    });
}

CI_API int ci_set_net_ports(uint64_t handle, int localPort, int devicePort) {
    return withConnection(handle, [&](const SessionContext& session) {
        return setPorts(session, "set_netports", localPort, devicePort);
    });
}

CI_API int ci_get_net_ports(uint64_t handle, int* localPort, int* devicePort) {
    return withConnection(handle, [&](const SessionContext& session) {
        return getPorts(session, "get_netports", localPort, devicePort);
    });
}

CI_API int ci_set_mac(uint64_t handle, const char* deviceMac) {
    return withConnection(handle, [&](const SessionContext& session) { return setMac(session, "set_mac", deviceMac); });
}

CI_API int ci_get_mac(uint64_t handle, char* deviceMac, int deviceMacLen) {
    return withConnection(
        handle, [&](const SessionContext& session) { return getMac(session, "get_mac", deviceMac, deviceMacLen); });
}

CI_API int ci_set_wips(uint64_t handle, const char* localIp, const char* deviceIp) {
    return withConnection(
        handle, [&](const SessionContext& session) { return setIps(session, "set_wips", localIp, deviceIp); });
}

CI_API int ci_get_wips(uint64_t handle, char* localIp, int localIpLen, char* deviceIp, int deviceIpLen) {
    return withConnection(handle, [&](const SessionContext& session) {
        return getIps(session, "get_wips", localIp, localIpLen, deviceIp, deviceIpLen);
    });
}

// The w-set ports are written with "set_wnetports", the counterpart of
// "get_wnetports" that our service accepts.
CI_API int ci_set_wnet_ports(uint64_t handle, int localPort, int devicePort) {
    return withConnection(handle, [&](const SessionContext& session) {
        return setPorts(session, "set_wnetports", localPort, devicePort);
    });
}

CI_API int ci_get_wnet_ports(uint64_t handle, int* localPort, int* devicePort) {
    return withConnection(handle, [&](const SessionContext& session) {
        return getPorts(session, "get_wnetports", localPort, devicePort);
    });
}

CI_API int ci_set_wmac(uint64_t handle, const char* deviceMac) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return setMac(session, "set_wmac", deviceMac); });
}

CI_API int ci_get_wmac(uint64_t handle, char* deviceMac, int deviceMacLen) {
    return withConnection(
        handle, [&](const SessionContext& session) { return getMac(session, "get_wmac", deviceMac, deviceMacLen); });
}

}  // extern "C"
