// The analysis-data fetch: one point list answering {"cmd": command}, handed
// to the caller as integer or double pairs.

#include "analysis/analysis_control.h"
#include "api/export_boundary.h"
#include "net/call_kinds.h"

namespace vel::analysis {
namespace {

template <class Element, class Convert>
Element* fetchPairs(uint64_t handle, const char* command, int* count, Convert&& convert) {
    if (count) {
        *count = 0;
    }
    return withSession(handle, static_cast<Element*>(nullptr), "Fetch analysis data",
                       [&](InstInstance& session) -> Element* {
                           if (!session.connection) {
                               return nullptr;
                           }
                           const CommandResponse response = exchange(session, {{"cmd", command}});
                           if (response.isJson()) {
                               logError(handle, "Fetch analysis data failed");
                               return nullptr;
                           }
                           const auto& payload = response.getBinary();
                           PointList points;
                           if (!ksq::CNetUtils::deserializePoints2(payload.data(), payload.size(), points)) {
                               return nullptr;
                           }
                           return convert(points, count);
                       });
}

}  // namespace

int64_t* fetchIntegerPairs(uint64_t handle, const char* command, int* count) {
    return fetchPairs<int64_t>(handle, command, count, toIntegerPairArray);
}

double* fetchDoublePairs(uint64_t handle, const char* command, int* count) {
    return fetchPairs<double>(handle, command, count, toDoublePairArray);
}

}  // namespace vel::analysis
