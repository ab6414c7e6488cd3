// Device status: board temperature and eight supply currents, from the "data"
// object of the reply to "get_devicestatus".

#include "device/device_status.h"

#include "device/service_reply.h"
#include "net/strict_members.h"
#include "net/reply_values.h"

namespace vel::device {
namespace {

using nlohmann::json;
using reply::UnusableMember;

struct CurrentField {
    const char* key;
    float DEVICE_STATUS::*field;
};

constexpr CurrentField kCurrents[] = {
    {"current1", &DEVICE_STATUS::current1}, {"current2", &DEVICE_STATUS::current2},
    {"current3", &DEVICE_STATUS::current3}, {"current4", &DEVICE_STATUS::current4},
    {"current5", &DEVICE_STATUS::current5}, {"current6", &DEVICE_STATUS::current6},
    {"current7", &DEVICE_STATUS::current7}, {"current8", &DEVICE_STATUS::current8},
};

// The reply's "data" object, or null when it has none.
const json* dataObjectOf(const json& reply) {
    if (!reply.is_object()) {
        return nullptr;
    }
    auto found = reply.find("data");
    return found != reply.end() && found->is_object() ? &*found : nullptr;
}

// Fills the record field by field in its own order. A member of unusable type
// ends the filling there: earlier fields keep their new values, later ones
// keep the caller's.
void fillStatus(const json& data, DEVICE_STATUS& status) {
    try {
        status.temperature = reply::strictInt(data, "temperature", 0);
        for (const CurrentField& current : kCurrents) {
            status.*current.field = static_cast<float>(reply::strictDouble(data, current.key, 0.0));
        }
    } catch (const UnusableMember&) {
        // The filling ends at the first unusable member; the call still succeeds.
    }
}

// Exchanges "get_devicestatus", hands the reply's "data" object (when it has
// one) to read, and returns "result".
template <class Read>
int readStatusReply(const SessionContext& session, Read&& read) {
    const auto reply = askService(session, "get_devicestatus");
    if (!reply) {
        return -1;
    }
    if (const json* data = dataObjectOf(*reply)) {
        read(*data);
    }
    return reply::readResult(*reply);
}

}  // namespace

int readDeviceStatus(const SessionContext& session, DEVICE_STATUS* status) {
    return readStatusReply(session, [&](const json& data) {
        if (status != nullptr) {
            fillStatus(data, *status);
        }
    });
}

int readDeviceTemperature(const SessionContext& session, int* temperature) {
    return readStatusReply(session, [&](const json& data) {
        if (temperature != nullptr) {
            // Unlike the record, an unusable temperature fails the call.
            *temperature = reply::strictInt(data, "temperature", 0);
        }
    });
}

}  // namespace vel::device
