#include "net/reply_values.h"

#include <cmath>
#include <limits>

namespace vel::reply {

std::optional<int> toInt32(const nlohmann::json& value) {
    constexpr auto kMin = std::numeric_limits<int>::min();
    constexpr auto kMax = std::numeric_limits<int>::max();
    if (value.is_number_unsigned()) {
        const auto v = value.get<uint64_t>();
        return v <= static_cast<uint64_t>(kMax) ? std::optional<int>(static_cast<int>(v)) : std::nullopt;
    }
    if (value.is_number_integer()) {
        const auto v = value.get<int64_t>();
        return v >= kMin && v <= kMax ? std::optional<int>(static_cast<int>(v)) : std::nullopt;
    }
    if (value.is_number_float()) {
        const double v = std::trunc(value.get<double>());
        return std::isfinite(v) && v >= kMin && v <= kMax ? std::optional<int>(static_cast<int>(v))
                                                          : std::nullopt;
    }
    return std::nullopt;
}

std::optional<double> toDouble(const nlohmann::json& value) {
    if (value.is_number()) {
        return value.get<double>();
    }
    return std::nullopt;
}

int readResult(const nlohmann::json& reply) {
    if (!reply.is_object()) {
        return -1;
    }
    auto found = reply.find("result");
    return found == reply.end() ? -1 : toInt32(*found).value_or(-1);
}

bool statusIsValid(const nlohmann::json& data) {
    auto found = data.find("status");
    return found != data.end() && found->is_number_integer() && found->get<int64_t>() == 0;
}

int memberInt(const nlohmann::json& object, const char* key, int fallback) {
    auto found = object.find(key);
    return found == object.end() ? fallback : toInt32(*found).value_or(fallback);
}

std::string memberString(const nlohmann::json& object, const char* key) {
    auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

}  // namespace vel::reply
