#include "analysis/ncoins_strategies.h"

#include "core/string_utils.h"

#include <limits>

namespace vel::analysis {

namespace {

using nlohmann::json;

constexpr const char* kInvalidStrategies = "Invalid ncoins strats specified";
constexpr const char* kMissingJson = "Please specify ncoins strats json";

json strategyObject(const NCOINS_STRATEGY& strategy) {
    std::vector<int32_t> channels;
    if (strategy.chan_count > 0) {
        channels.assign(strategy.channels, strategy.channels + strategy.chan_count);
    }
    return {{"strategy_name", strategy.strategy_name},
            {"channels", std::move(channels)},
            {"virtual_twin", strategy.virtual_twin}};
}

// A JSON integer (not a floating value) from 1 to the int32 maximum.
bool isPositiveInt32(const json& value) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<uint64_t>();
        return number >= 1 && number <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
    }
    if (value.is_number_integer()) {
        const auto number = value.get<int64_t>();
        return number >= 1 && number <= std::numeric_limits<int32_t>::max();
    }
    return false;
}

// The message for an element of an analysis's strategy array, or "".
std::string checkStrategyJson(const json& element) {
    if (!element.is_object()) {
        return "Invalid ncoins strategy json: missing or invalid strategy_name";
    }
    const auto name = element.find("strategy_name");
    if (name == element.end() || !name->is_string() || name->get_ref<const std::string&>().empty()) {
        return "Invalid ncoins strategy json: missing or invalid strategy_name";
    }
    const auto channels = element.find("channels");
    if (channels == element.end() || !channels->is_array() || channels->empty()) {
        return "Invalid ncoins strategy: channels cannot be null and must contain at least one channel";
    }
    const auto virtualTwin = element.find("virtual_twin");
    if (virtualTwin == element.end() || !isPositiveInt32(*virtualTwin)) {
        return "Invalid ncoins strategy: virtual_twin must be greater than 0";
    }
    return {};
}

}  // namespace

std::string strategiesForAnalysis(const NCOINS_STRATEGY* strategies, int count, NCoinsStrategies& result) {
    if (count < 0 || strategies == nullptr) {
        return kInvalidStrategies;
    }
    for (int i = 0; i < count; ++i) {
        const NCOINS_STRATEGY& strategy = strategies[i];
        if (ksq::CStringUtils::isEmpty(strategy.strategy_name)) {
            return "Invalid ncoins strategy: missing or invalid strategy_name";
        }
        if (strategy.chan_count <= 0 || strategy.channels == nullptr) {
            return "Invalid ncoins strategy: channels cannot null and chan_count must be great than 0";
        }
        if (strategy.virtual_twin <= 0) {
            return "Invalid ncoins strategy: virtual_twin must be greater than 0";
        }
        result.strategies.push_back(strategyObject(strategy));
        result.names.emplace_back(strategy.strategy_name);
    }
    return {};
}

std::string strategiesForAnalysisFromJson(const char* text, NCoinsStrategies& result) {
    if (ksq::CStringUtils::isEmpty(text)) {
        return kMissingJson;
    }
    try {
        result.strategies = json::parse(text);
    } catch (const std::exception& e) {
        return std::string("Invalid JSON format: ") + e.what();
    }
    if (!result.strategies.is_array()) {
        return "Invalid ncoins strats json: expected array";
    }
    for (const json& element : result.strategies) {
        std::string message = checkStrategyJson(element);
        if (!message.empty()) {
            return message;
        }
        result.names.push_back(element.at("strategy_name").get<std::string>());
    }
    return {};
}

std::string strategiesForApplying(const NCOINS_STRATEGY* strategies, int count, json& result) {
    if (count < 0 || strategies == nullptr) {
        return kInvalidStrategies;
    }
    result = json::array();
    for (int i = 0; i < count; ++i) {
        const NCOINS_STRATEGY& strategy = strategies[i];
        // Nothing could be sent for a missing name: reject it as an analysis start does.
        if (strategy.strategy_name == nullptr) {
            return "Invalid ncoins strategy: strategy_name is null";
        }
        if (strategy.chan_count > 0 && strategy.channels == nullptr) {
            return "Invalid ncoins strategy: channels is null but chan_count > 0";
        }
        result.push_back(strategyObject(strategy));
    }
    return {};
}

std::string strategiesForApplyingFromJson(const char* text, json& result) {
    if (ksq::CStringUtils::isEmpty(text)) {
        return kMissingJson;
    }
    try {
        result = json::parse(text);
    } catch (const std::exception& e) {
        return std::string("Invalid JSON format: ") + e.what();
    }
    return {};
}

}  // namespace vel::analysis
