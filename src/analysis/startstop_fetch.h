#pragma once
// Fetches of start-stop results: the processed point lists of one (start,
// stop) pair or of one start channel's average (by request), and the
// dual-stop pairs buffered by the recording thread (from memory). The request
// form of the point-list fetch serves the n-fold coincidence count rates too.

#include "analysis/point_list.h"

#include <nlohmann/json.hpp>

#include <cstdint>

class InstInstance;

namespace vel::analysis {

// One exchange whose binary reply is a point list, decoded into points.
// False when the service answers with JSON (failureMessage is logged) or the
// list does not decode (nothing logged). Throws what the exchange throws,
// "Socket not connected" included.
bool fetchPointList(InstInstance& session, uint64_t handle, const nlohmann::json& request,
                    const char* failureMessage, PointList& points);

// fetchPointList as the caller's integer pairs. *count is set to 0 first
// (count may be null); null for an unknown handle, a session without
// connection, any failure (exceptions logged as "<operation> exception: ...")
// and an empty list.
int64_t* fetchIntegerPairsFor(uint64_t handle, const nlohmann::json& request, int* count,
                              const char* failureMessage, const char* operation) noexcept;

// The dual-stop pairs of one start channel fetched so far and not yet taken,
// waiting up to timeoutMs for some (memory mode only).
int64_t* fetchDualStopPairs(uint64_t handle, int32_t startChan, int* count, int timeoutMs) noexcept;

}  // namespace vel::analysis
