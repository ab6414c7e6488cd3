#pragma once
// The instrument's network identity, in the plain set and the w-set: the same
// request and reply shapes under the command name given. Addresses are sent
// verbatim as strings (a null text as ""), ports as integers.

namespace vel {
class SessionContext;
}

namespace vel::device {

int setIps(const SessionContext& session, const char* command, const char* localIp, const char* deviceIp);
int getIps(const SessionContext& session, const char* command, char* localIp, int localIpLen, char* deviceIp,
           int deviceIpLen);
int setPorts(const SessionContext& session, const char* command, int localPort, int devicePort);
int getPorts(const SessionContext& session, const char* command, int* localPort, int* devicePort);
int setMac(const SessionContext& session, const char* command, const char* deviceMac);
int getMac(const SessionContext& session, const char* command, char* deviceMac, int deviceMacLen);

}  // namespace vel::device
