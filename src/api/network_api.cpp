// The instrument's network identity, in the plain set and the w-set.

#include <veltranoapi/veltranoapi.h>

#include "api/export_boundary.h"
#include "device/network_settings.h"

using namespace vel::device;
using vel::SessionContext;
using vel::withConnection;

extern "C" {

CI_API int ci_set_ips(uint64_t handle, const char* local_ip, const char* device_ip) {
    return withConnection(
        handle, [&](const SessionContext& session) { return setIps(session, "set_ips", local_ip, device_ip); });
}

CI_API int ci_get_ips(uint64_t handle, char* local_ip, int local_ip_len, char* device_ip, int device_ip_len) {
    return withConnection(handle, [&](const SessionContext& session) {
        return getIps(session, "get_ips", local_ip, local_ip_len, device_ip, device_ip_len);
    });
}

CI_API int ci_set_net_ports(uint64_t handle, int local_port, int device_port) {
    return withConnection(handle, [&](const SessionContext& session) {
        return setPorts(session, "set_netports", local_port, device_port);
    });
}

CI_API int ci_get_net_ports(uint64_t handle, int* local_port, int* device_port) {
    return withConnection(handle, [&](const SessionContext& session) {
        return getPorts(session, "get_netports", local_port, device_port);
    });
}

CI_API int ci_set_mac(uint64_t handle, const char* device_mac) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return setMac(session, "set_mac", device_mac); });
}

CI_API int ci_get_mac(uint64_t handle, char* device_mac, int device_mac_len) {
    return withConnection(
        handle, [&](const SessionContext& session) { return getMac(session, "get_mac", device_mac, device_mac_len); });
}

CI_API int ci_set_wips(uint64_t handle, const char* local_ip, const char* device_ip) {
    return withConnection(
        handle, [&](const SessionContext& session) { return setIps(session, "set_wips", local_ip, device_ip); });
}

CI_API int ci_get_wips(uint64_t handle, char* local_ip, int local_ip_len, char* device_ip, int device_ip_len) {
    return withConnection(handle, [&](const SessionContext& session) {
        return getIps(session, "get_wips", local_ip, local_ip_len, device_ip, device_ip_len);
    });
}

// The w-set ports are written with "set_wnetports", the counterpart of
// "get_wnetports" that our service accepts.
CI_API int ci_set_wnet_ports(uint64_t handle, int local_port, int device_port) {
    return withConnection(handle, [&](const SessionContext& session) {
        return setPorts(session, "set_wnetports", local_port, device_port);
    });
}

CI_API int ci_get_wnet_ports(uint64_t handle, int* local_port, int* device_port) {
    return withConnection(handle, [&](const SessionContext& session) {
        return getPorts(session, "get_wnetports", local_port, device_port);
    });
}

CI_API int ci_set_wmac(uint64_t handle, const char* device_mac) {
    return withConnection(handle,
                          [&](const SessionContext& session) { return setMac(session, "set_wmac", device_mac); });
}

CI_API int ci_get_wmac(uint64_t handle, char* device_mac, int device_mac_len) {
    return withConnection(
        handle, [&](const SessionContext& session) { return getMac(session, "get_wmac", device_mac, device_mac_len); });
}

}  // extern "C"
