#pragma once
// Fetches whose binary reply is a point list: one exchange decoded into
// points, and the caller's integer or double pairs made from it.

#include "analysis/point_list.h"

#include <nlohmann/json.hpp>

#include <cstdint>

namespace vel {
class SessionContext;
struct AnalysisState;
}  // namespace vel

namespace vel::analysis {

// One exchange whose binary reply is a point list, decoded into points.
// False when the service answers with JSON (failureMessage is logged) or the
// list does not decode (nothing logged). Throws what the exchange throws,
// "Socket not connected" included.
bool fetchPointList(const SessionContext& session, const nlohmann::json& request, const char* failureMessage,
                    PointList& points);

// fetchPointList as the caller's pairs. *count is set to 0 first (count may be
// null); null for an unknown handle, a session without connection, any
// failure (exceptions logged as "<operation> exception: ...") and an empty
// list.
int64_t* fetchIntegerPairs(const SessionContext& session, const nlohmann::json& request, int* count,
                           const char* failureMessage, const char* operation) noexcept;
double* fetchDoublePairs(const SessionContext& session, const nlohmann::json& request, int* count,
                         const char* failureMessage, const char* operation) noexcept;

// The analysis-data fetch: {"cmd": command}, failures logged as "Fetch
// analysis data failed" / "Fetch analysis data exception: ...".
int64_t* fetchIntegerPairs(const SessionContext& session, const char* command, int* count) noexcept;
double* fetchDoublePairs(const SessionContext& session, const char* command, int* count) noexcept;

}  // namespace vel::analysis
