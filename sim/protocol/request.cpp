#include "sim/protocol/request.h"

#include <cmath>
#include <limits>

namespace veltrano::sim {

const Json& Request::member(const std::string& key, JsonKind kind) const {
    const auto it = object_.find(key);
    if (it == object_.end()) throw ProtocolError(ResultCode::BadParameter, "missing key \"" + key + "\"");
    const Json& value = *it;
    switch (kind) {
        case JsonKind::Integer:
            // An integer literal beyond 64 bits arrives as a float; it is an integer all the same.
            if (value.is_number_integer() || (value.is_number_float() && std::fabs(value.get<double>()) >= 0x1p63))
                return value;
            throw ProtocolError(ResultCode::BadParameter, "key \"" + key + "\" must be an integer");
        case JsonKind::Number:
            if (value.is_number()) return value;
            throw ProtocolError(ResultCode::BadParameter, "key \"" + key + "\" must be a number");
        case JsonKind::String:
            if (value.is_string()) return value;
            throw ProtocolError(ResultCode::BadParameter, "key \"" + key + "\" must be a string");
        case JsonKind::Boolean:
            if (value.is_boolean()) return value;
            throw ProtocolError(ResultCode::BadParameter, "key \"" + key + "\" must be a boolean");
        case JsonKind::Object:
            if (value.is_object()) return value;
            throw ProtocolError(ResultCode::BadParameter, "key \"" + key + "\" must be an object");
        case JsonKind::Array:
            if (value.is_array()) return value;
            throw ProtocolError(ResultCode::BadParameter, "key \"" + key + "\" must be an array");
    }
    throw ProtocolError(ResultCode::BadParameter, "key \"" + key + "\" has the wrong type");
}

std::int64_t Request::integer(const std::string& key) const {
    const Json& value = member(key, JsonKind::Integer);
    if (value.is_number_float()) {
        return value.get<double>() > 0 ? std::numeric_limits<std::int64_t>::max()
                                       : std::numeric_limits<std::int64_t>::min();
    }
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        return u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
                   ? std::numeric_limits<std::int64_t>::max()
                   : static_cast<std::int64_t>(u);
    }
    return value.get<std::int64_t>();
}

int Request::channel() const {
    const std::int64_t v = integer("channel");
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) {
        throw ProtocolError(ResultCode::ChannelOutOfRange, "channel out of range");
    }
    return static_cast<int>(v);
}

double Request::number(const std::string& key) const { return member(key, JsonKind::Number).get<double>(); }

const std::string& Request::text(const std::string& key) const {
    return member(key, JsonKind::String).get_ref<const std::string&>();
}

bool Request::boolean(const std::string& key) const { return member(key, JsonKind::Boolean).get<bool>(); }

const Json& Request::object(const std::string& key) const { return member(key, JsonKind::Object); }

const Json& Request::array(const std::string& key) const { return member(key, JsonKind::Array); }

}  // namespace veltrano::sim
