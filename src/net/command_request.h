#pragma once
// A request object {"cmd": command}, to which a caller adds its members one by
// one (request["channel"] = channel). The same document as the initializer
// list {{"cmd", command}, ...} without the temporary two-element arrays such a
// list builds for every member: a settings call allocates half as often.

#include <nlohmann/json.hpp>

#include <utility>

namespace vel {

inline void addMembers(nlohmann::json&) {}

template <class Value, class... Rest>
void addMembers(nlohmann::json& request, const char* key, Value&& value, Rest&&... rest) {
    request[key] = std::forward<Value>(value);
    addMembers(request, std::forward<Rest>(rest)...);
}

inline nlohmann::json commandRequest(const char* command) {
    nlohmann::json request(nlohmann::json::value_t::object);
    request["cmd"] = command;
    return request;
}

// commandRequest(command) with the given (key, value) members added.
template <class... KeysAndValues>
nlohmann::json withMembers(const char* command, KeysAndValues&&... keysAndValues) {
    nlohmann::json request = commandRequest(command);
    addMembers(request, std::forward<KeysAndValues>(keysAndValues)...);
    return request;
}

}  // namespace vel
