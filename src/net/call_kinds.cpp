#include "net/call_kinds.h"

#include "core/session_context.h"
#include "core/text_copy.h"
#include "net/reply_values.h"
#include "net/strict_members.h"
#include "net/tcp_client.h"

#include <stdexcept>
#include <string_view>

namespace vel {
namespace {

using nlohmann::json;

// The log texts that name each call kind in its failure messages.
constexpr std::string_view kPlainCall = "Generic json call";
constexpr std::string_view kI32Call = "Generic json call with i32 value";
constexpr std::string_view kF64Call = "Generic json call with f64 value";
constexpr std::string_view kBoolCall = "Generic json call with bool value";
constexpr std::string_view kStringCall = "Generic json call with string value";
constexpr std::string_view kIpCall = "Generic json call with ip value";
constexpr std::string_view kMacCall = "Generic json call with mac value";
constexpr std::string_view kNetportCall = "Generic json call with netport value";
constexpr std::string_view kReturnedIntCall = "Generic json call returned int value";

// The course every JSON call kind shares. storeOutputs(data) runs when the
// reply is an object with "data"; its failures never fail the call.
// interpret(reply) turns the reply into the call's result.
template <class StoreOutputs, class Interpret>
int jsonCall(const SessionContext& session, const json& request, std::string_view kindText, StoreOutputs&& storeOutputs,
             Interpret&& interpret) {
    if (!session.connection) {
        return -1;
    }
    return guardOperation(session, -1, kindText, [&] {
        const CommandResponse response = exchange(session, request);
        const json& reply = response.getJson();
        if (reply.is_object()) {
            if (auto data = reply.find("data"); data != reply.end()) {
                try {
                    storeOutputs(*data);
                } catch (...) {
                    // Outputs that cannot be filled stay as they were; "result" still counts.
                }
            }
        }
        return interpret(reply);
    });
}

template <class StoreOutputs>
int jsonCall(const SessionContext& session, const json& request, std::string_view kindText,
             StoreOutputs&& storeOutputs) {
    return jsonCall(session, request, kindText, std::forward<StoreOutputs>(storeOutputs),
                    [](const json& reply) { return reply::readResult(reply); });
}

// A number bare or as the "value" of a valid data object; fallback otherwise.
template <class T, class Convert>
T numericValue(const json& data, T fallback, Convert&& convert) {
    if (data.is_number()) {
        return convert(data).value_or(fallback);
    }
    if (data.is_object() && reply::statusIsValid(data)) {
        auto value = data.find("value");
        return value == data.end() ? fallback : convert(*value).value_or(fallback);
    }
    return fallback;
}

}  // namespace

int callPlain(const SessionContext& session, const json& request) {
    return jsonCall(session, request, kPlainCall, [](const json&) {});
}

int callWithI32Value(const SessionContext& session, const json& request, int* value) {
    return jsonCall(session, request, kI32Call, [&](const json& data) {
        if (value) {
            *value = numericValue(data, 0, [](const json& v) { return reply::toInt32(v); });
        }
    });
}

int callWithF64Value(const SessionContext& session, const json& request, double* value) {
    return jsonCall(session, request, kF64Call, [&](const json& data) {
        if (value) {
            *value = numericValue(data, 0.0, [](const json& v) { return reply::toDouble(v); });
        }
    });
}

int callWithBoolValue(const SessionContext& session, const json& request, bool* value) {
    return jsonCall(session, request, kBoolCall, [&](const json& data) {
        if (!value) {
            return;
        }
        bool result = false;
        if (data.is_boolean()) {
            result = data.get<bool>();
        } else if (data.is_object() && reply::statusIsValid(data)) {
            auto v = data.find("value");
            result = v != data.end() && v->is_boolean() && v->get<bool>();
        }
        *value = result;
    });
}

int callWithStringValue(const SessionContext& session, const json& request, char* buffer, int capacity) {
    return jsonCall(session, request, kStringCall, [&](const json& data) {
        if (data.is_string()) {
            copyText(buffer, capacity, data.get_ref<const std::string&>());
        } else if (data.is_object() && reply::statusIsValid(data)) {
            auto v = data.find("value");
            if (v == data.end()) {
                copyText(buffer, capacity, "");
            } else if (v->is_string()) {
                copyText(buffer, capacity, v->get_ref<const std::string&>());
            }
        }
    });
}

int callWithIpValue(const SessionContext& session, const json& request, char* localIp, int localCapacity,
                    char* deviceIp, int deviceCapacity) {
    return jsonCall(session, request, kIpCall, [&](const json& data) {
        if (data.is_object() && reply::statusIsValid(data)) {
            // A member of the wrong type ends the filling: earlier outputs stay.
            copyText(localIp, localCapacity, reply::strictString(data, "local_ip"));
            copyText(deviceIp, deviceCapacity, reply::strictString(data, "device_ip"));
        }
    });
}

int callWithMacValue(const SessionContext& session, const json& request, char* mac, int capacity) {
    return jsonCall(session, request, kMacCall, [&](const json& data) {
        if (data.is_object() && reply::statusIsValid(data)) {
            copyText(mac, capacity, reply::strictString(data, "device_mac"));
        }
    });
}

int callWithNetportValue(const SessionContext& session, const json& request, int* localPort, int* devicePort) {
    return jsonCall(session, request, kNetportCall, [&](const json& data) {
        if (data.is_object() && reply::statusIsValid(data)) {
            if (localPort) {
                *localPort = reply::strictInt(data, "local_port", 0);
            }
            if (devicePort) {
                *devicePort = reply::strictInt(data, "device_port", 0);
            }
        }
    });
}

int callReturningInt(const SessionContext& session, const json& request) {
    return jsonCall(
        session, request, kReturnedIntCall, [](const json&) {},
        [](const json& reply) {
            if (reply::readResult(reply) == -1) {
                return -1;
            }
            auto data = reply.find("data");
            if (data == reply.end()) {
                return -1;
            }
            if (data->is_object()) {
                if (!reply::statusIsValid(*data)) {
                    return -1;
                }
                return reply::memberInt(*data, "value", -1);
            }
            return reply::toInt32(*data).value_or(-1);
        });
}

CommandResponse exchange(const SessionContext& session, const json& request) {
    if (!session.connection) {
        throw std::runtime_error("Socket not connected");
    }
    return session.connection->sendJson(request);
}

CommandResponse exchange(const SessionContext& session, const json& request, frame::PayloadReader& payloadReader) {
    if (!session.connection) {
        throw std::runtime_error("Socket not connected");
    }
    return session.connection->sendJson(request, payloadReader);
}

}  // namespace vel
