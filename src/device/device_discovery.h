#pragma once
// The service's device list: all entries, their number, or one entry. The
// list is the top-level "devices" array of the reply to "get_devices"; the
// reply's "result" is not consulted. Each throws the errors of its exchange.

#include <veltranoapi/veltranoapi.h>

namespace vel {
class SessionContext;
}

namespace vel::device {

// Fills up to count entries (non-object elements take no slot) and returns the
// list's length; the length alone without devices; -1 for count <= 0 with
// devices, or a failed exchange.
int readDevices(const SessionContext& session, DEVICE_INFO* devices, int count);
int countDevices(const SessionContext& session);
// One entry by index (the caller checks index, name and nameLength).
int readDevice(const SessionContext& session, int index, int* deviceType, char* name, int nameLength);

}  // namespace vel::device
