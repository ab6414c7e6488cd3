#pragma once
// Fetches of start-stop results: the processed point lists of one (start,
// stop) pair or of one start channel's average (by request), and the
// dual-stop pairs buffered by the recording thread (from memory). The request
// form of the point-list fetch serves the n-fold coincidence count rates too.

#include "analysis/point_list.h"

#include <nlohmann/json.hpp>

#include <cstdint>

namespace vel {
class SessionContext;
struct AnalysisState;
}  // namespace vel

namespace vel::analysis {

// The dual-stop pairs of one start channel fetched so far and not yet taken,
// waiting up to timeoutMs for some (memory mode only).
int64_t* fetchDualStopPairs(const SessionContext& session, AnalysisState& state, int32_t startChan, int* count,
                            int timeoutMs) noexcept;

}  // namespace vel::analysis
