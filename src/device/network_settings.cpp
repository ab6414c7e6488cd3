#include "device/network_settings.h"

#include "core/string_utils.h"
#include "net/call_kinds.h"

namespace vel::device {

using ksq::CStringUtils;

int setIps(const SessionContext& session, const char* command, const char* localIp, const char* deviceIp) {
    return callPlain(session, {{"cmd", command},
                               {"local_ip", CStringUtils::safe_string(localIp)},
                               {"device_ip", CStringUtils::safe_string(deviceIp)}});
}

int getIps(const SessionContext& session, const char* command, char* localIp, int localIpLen, char* deviceIp,
           int deviceIpLen) {
    return callWithIpValue(session, {{"cmd", command}}, localIp, localIpLen, deviceIp, deviceIpLen);
}

int setPorts(const SessionContext& session, const char* command, int localPort, int devicePort) {
    return callPlain(session, {{"cmd", command}, {"local_port", localPort}, {"device_port", devicePort}});
}

int getPorts(const SessionContext& session, const char* command, int* localPort, int* devicePort) {
    return callWithNetportValue(session, {{"cmd", command}}, localPort, devicePort);
}

int setMac(const SessionContext& session, const char* command, const char* deviceMac) {
    return callPlain(session, {{"cmd", command}, {"device_mac", CStringUtils::safe_string(deviceMac)}});
}

int getMac(const SessionContext& session, const char* command, char* deviceMac, int deviceMacLen) {
    return callWithMacValue(session, {{"cmd", command}}, deviceMac, deviceMacLen);
}

}  // namespace vel::device
