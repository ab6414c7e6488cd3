// Device status: board temperature and eight supply currents, from the "data"
// object of the reply to "get_devicestatus".

#include <veltranoapi/veltranoapi.h>

#include "api/export_boundary.h"
#include "device/service_reply.h"
#include "net/strict_members.h"
#include "net/reply_values.h"

#include <string_view>

namespace {

using nlohmann::json;
using vel::reply::UnusableMember;

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
        status.temperature = vel::reply::strictInt(data, "temperature", 0);
        for (const CurrentField& current : kCurrents) {
            status.*current.field = static_cast<float>(vel::reply::strictDouble(data, current.key, 0.0));
        }
    } catch (const UnusableMember&) {
    }
}

// Exchanges "get_devicestatus" under the export's operation text, hands the
// reply's "data" object (when it has one) to read, and returns "result".
template <class Read>
int readStatusReply(uint64_t handle, std::string_view operation, Read&& read) noexcept {
    return vel::withSession(handle, -1, operation, [&](InstInstance& session) {
        const auto reply = vel::device::askService(session, "get_devicestatus");
        if (!reply) {
            return -1;
        }
        if (const json* data = dataObjectOf(*reply)) {
            read(*data);
        }
        return vel::reply::readResult(*reply);
    });
}

}  // namespace

extern "C" {

CI_API int ci_get_device_status(uint64_t handle, DEVICE_STATUS* status) {
    return readStatusReply(handle, "Get device status", [&](const json& data) {
        if (status != nullptr) {
            fillStatus(data, *status);
        }
    });
}

CI_API int ci_get_device_temp(uint64_t handle, int* temperature) {
    return readStatusReply(handle, "Get device temperature", [&](const json& data) {
        if (temperature != nullptr) {
            // Unlike the record, an unusable temperature fails the call.
            *temperature = vel::reply::strictInt(data, "temperature", 0);
        }
    });
}

}  // extern "C"
