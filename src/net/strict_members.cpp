#include "net/strict_members.h"

#include "net/reply_values.h"

#include <optional>

namespace vel::reply {
namespace {

// The member converted, the fallback when it is missing; UnusableMember when
// convert finds no value of the expected kind in it.
template <class T, class Convert>
T strictMember(const nlohmann::json& object, const char* key, T fallback, const char* expected, Convert convert) {
    auto found = object.find(key);
    if (found == object.end()) {
        return fallback;
    }
    if (auto value = convert(*found)) {
        return *value;
    }
    throw UnusableMember(std::string("member \"") + key + "\" is not " + expected);
}

}  // namespace

int strictInt(const nlohmann::json& object, const char* key, int fallback) {
    return strictMember(object, key, fallback, "a 32-bit integer", toInt32);
}

double strictDouble(const nlohmann::json& object, const char* key, double fallback) {
    return strictMember(object, key, fallback, "a number", toDouble);
}

std::string strictString(const nlohmann::json& object, const char* key) {
    return strictMember(object, key, std::string(), "a string", [](const nlohmann::json& value) {
        return value.is_string() ? std::optional<std::string>(value.get<std::string>()) : std::nullopt;
    });
}

}  // namespace vel::reply
