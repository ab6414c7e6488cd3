#pragma once
// N-fold coincidence strategies, from the caller's C structures or JSON text,
// as the "ncoins_strats" array of a request. An analysis start checks them
// and keeps their names (the saver names its files after them); applying
// strategies without an analysis checks less.

#include <veltranoapi/veltranoapi.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace vel::analysis {

struct NCoinsStrategies {
    nlohmann::json strategies = nlohmann::json::array();
    std::vector<std::string> names;  // position = strategy index
};

// Each function returns the empty string, or the message to log when the
// strategies are rejected (then result is incomplete and nothing may be sent).

// For an analysis: a name, at least one channel and a virtual twin > 0 each.
// strategies may be null only when count is 0.
std::string strategiesForAnalysis(const NCOINS_STRATEGY* strategies, int count, NCoinsStrategies& result);
std::string strategiesForAnalysisFromJson(const char* json, NCoinsStrategies& result);

// For applying: every strategy needs a name and channels when it counts any.
std::string strategiesForApplying(const NCOINS_STRATEGY* strategies, int count, nlohmann::json& result);
// The parsed text is sent as it is.
std::string strategiesForApplyingFromJson(const char* json, nlohmann::json& result);

}  // namespace vel::analysis
