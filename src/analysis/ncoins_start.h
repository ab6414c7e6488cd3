#pragma once
// The start of an n-fold coincidence analysis once its strategies are
// checked: remember the strategy names and output names, send
// "ncoins_analysis" and start the stop timer. It starts no raw threads.

#include "analysis/ncoins_strategies.h"

#include <cstdint>

namespace vel {
class SessionContext;
struct AnalysisState;
}  // namespace vel

namespace vel::analysis {

// Returns 0, the start command's non-zero status, or -1 (failed exchange).
int startNCoincidenceAnalysis(const SessionContext& session, AnalysisState& state, int durationSeconds,
                              NCoinsStrategies&& strategies, uint8_t enableRawData, const char* folderPath,
                              const char* fileName);

}  // namespace vel::analysis
