#pragma once
// Reading values out of a reply without ever throwing on its shape.

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace vel::reply {

// "result" of a reply object; -1 when missing or not an integer within int range.
int readResult(const nlohmann::json& reply);

// True when a "data" object's "status" is the integer 0 (a missing status is not).
bool statusIsValid(const nlohmann::json& data);

// A JSON number as int (floating point truncated toward zero); empty when the
// value is not a number or does not fit.
std::optional<int> toInt32(const nlohmann::json& value);

// A JSON number as double; empty when it is not a number.
std::optional<double> toDouble(const nlohmann::json& value);

// member of an object as int/string, or the fallback when it is missing or of
// another type.
int memberInt(const nlohmann::json& object, const char* key, int fallback);
std::string memberString(const nlohmann::json& object, const char* key);

}  // namespace vel::reply
