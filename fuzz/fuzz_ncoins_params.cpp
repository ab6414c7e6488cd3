// The JSON strategies of an n-fold coincidence analysis (even first byte) or
// of applying strategies (odd first byte); the rest of the input is the text.
// They must be read or refused with a message, never crash; what is read must
// be sendable.

#include "analysis/ncoins_strategies.h"
#include "net/frame.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool forAnalysis = data[0] % 2 == 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    nlohmann::json strategies;
    if (forAnalysis) {
        vel::analysis::NCoinsStrategies result;
        if (!vel::analysis::strategiesForAnalysisFromJson(text.c_str(), result).empty()) return 0;
        if (result.names.size() != result.strategies.size()) std::abort();
        for (const std::string& name : result.names) {
            if (name.empty()) std::abort();
        }
        strategies = std::move(result.strategies);
    } else if (!vel::analysis::strategiesForApplyingFromJson(text.c_str(), strategies).empty()) {
        return 0;
    }
    (void)vel::frame::encodeRequest({{"cmd", "ncoins_analysis"}, {"ncoins_strats", strategies}});
    return 0;
}
