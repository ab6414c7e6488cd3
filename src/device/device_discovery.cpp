// The service's device list: all entries, their number, or one entry. The
// list is the top-level "devices" array of the reply to "get_devices"; the
// reply's "result" is not consulted.

#include "device/device_discovery.h"

#include "core/text_copy.h"
#include "device/service_reply.h"
#include "net/strict_members.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace vel::device {
namespace {

using nlohmann::json;

// The reply's "devices" array, or null when it has none.
const json* devicesOf(const json& reply) {
    if (!reply.is_object()) {
        return nullptr;
    }
    auto found = reply.find("devices");
    return found != reply.end() && found->is_array() ? &*found : nullptr;
}

int entryCount(const json& devices) {
    return static_cast<int>(std::min<size_t>(devices.size(), INT_MAX));
}

struct DeviceEntry {
    int type;
    std::string name;
};

// Throws UnusableMember for a type that is not a number or a name that is not text.
DeviceEntry readEntry(const json& element) {
    DeviceEntry entry{reply::strictInt(element, "device_type", 0), {}};
    entry.name = reply::strictString(element, "device_name");
    return entry;
}

}  // namespace

int readDevices(const SessionContext& session, DEVICE_INFO* devices, int count) {
    const auto reply = askService(session, "get_devices");
    if (!reply) {
        return -1;
    }
    const json* list = devicesOf(*reply);
    if (!list) {
        return 0;
    }
    const int total = entryCount(*list);
    if (devices == nullptr) {
        return total;
    }
    if (count <= 0) {
        return -1;
    }
    std::memset(devices, 0, sizeof(DEVICE_INFO) * static_cast<size_t>(count));
    // Elements that are not objects take no slot: filled entries stay packed at the front.
    int slot = 0;
    const int considered = std::min(total, count);
    for (int i = 0; i < considered; ++i) {
        const json& element = (*list)[static_cast<size_t>(i)];
        if (!element.is_object()) {
            continue;
        }
        const DeviceEntry entry = readEntry(element);
        DEVICE_INFO& info = devices[slot++];
        info.device_type = entry.type;
        copyText(info.device_name, sizeof info.device_name, entry.name);
    }
    return total;
}

int countDevices(const SessionContext& session) {
    const auto reply = askService(session, "get_devices");
    if (!reply) {
        return -1;
    }
    const json* list = devicesOf(*reply);
    return list ? entryCount(*list) : 0;
}

int readDevice(const SessionContext& session, int index, int* deviceType, char* name, int nameLength) {
    const auto reply = askService(session, "get_devices");
    const json* list = reply ? devicesOf(*reply) : nullptr;
    if (!list || static_cast<size_t>(index) >= list->size()) {
        return -1;
    }
    const json& element = (*list)[static_cast<size_t>(index)];
    if (!element.is_object()) {
        return -1;
    }
    const DeviceEntry entry = readEntry(element);
    if (deviceType != nullptr) {
        *deviceType = entry.type;
    }
    copyText(name, nameLength, entry.name);
    return 0;
}

}  // namespace vel::device
