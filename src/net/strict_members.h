#pragma once
// Strict reads of record members from a reply: a missing member gives the
// fallback, a member of the expected JSON type gives its value, and a member of
// any other type throws UnusableMember. Some callers let that end the call
// (the device list); others stop filling their outputs at it quietly (the
// status record, the network pairs).

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>

namespace vel::reply {

class UnusableMember : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A number that fits an int (fractions truncated toward zero).
int strictInt(const nlohmann::json& object, const char* key, int fallback);
// Any number.
double strictDouble(const nlohmann::json& object, const char* key, double fallback);
// A string; the empty string when missing.
std::string strictString(const nlohmann::json& object, const char* key);

}  // namespace vel::reply
