#pragma once
// The outcome of one request/reply exchange: a parsed JSON document or a binary
// payload. Asking for the other kind throws std::bad_variant_access.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <variant>
#include <vector>

struct CommandResponse {
    explicit CommandResponse(nlohmann::json json) : value(std::move(json)) {}
    explicit CommandResponse(std::vector<uint8_t> binary) : value(std::move(binary)) {}

    bool isJson() const { return value.index() == 0; }
    const nlohmann::json& getJson() const { return std::get<0>(value); }
    const std::vector<uint8_t>& getBinary() const { return std::get<1>(value); }
    std::vector<uint8_t>& getBinary() { return std::get<1>(value); }

    std::variant<nlohmann::json, std::vector<uint8_t>> value;
};
