#include "analysis/point_list_fetch.h"

#include "api/export_boundary.h"
#include "net/call_kinds.h"

namespace vel::analysis {
namespace {

constexpr const char* kAnalysisDataFailed = "Fetch analysis data failed";
constexpr const char* kAnalysisDataOperation = "Fetch analysis data";

template <class Element, class Convert>
Element* fetchPairs(uint64_t handle, const nlohmann::json& request, int* count, const char* failureMessage,
                    const char* operation, Convert&& convert) noexcept {
    if (count != nullptr) {
        *count = 0;
    }
    return withSession(handle, static_cast<Element*>(nullptr), operation, [&](InstInstance& session) -> Element* {
        if (!session.connection) {
            return nullptr;
        }
        PointList points;
        if (!fetchPointList(session, handle, request, failureMessage, points)) {
            return nullptr;
        }
        return convert(points, count);
    });
}

// The single-command request, or null when it cannot be built.
template <class Element, class Convert>
Element* fetchPairsOf(uint64_t handle, const char* command, int* count, Convert&& convert) noexcept {
    if (count != nullptr) {
        *count = 0;
    }
    try {
        return fetchPairs<Element>(handle, {{"cmd", command}}, count, kAnalysisDataFailed, kAnalysisDataOperation,
                                   convert);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

bool fetchPointList(InstInstance& session, uint64_t handle, const nlohmann::json& request, const char* failureMessage,
                    PointList& points) {
    const CommandResponse response = exchange(session, request);
    if (response.isJson()) {
        logError(handle, failureMessage);
        return false;
    }
    const std::vector<uint8_t>& payload = response.getBinary();
    return ksq::CNetUtils::deserializePoints2(payload.data(), payload.size(), points);
}

int64_t* fetchIntegerPairs(uint64_t handle, const nlohmann::json& request, int* count, const char* failureMessage,
                           const char* operation) noexcept {
    return fetchPairs<int64_t>(handle, request, count, failureMessage, operation, toIntegerPairArray);
}

double* fetchDoublePairs(uint64_t handle, const nlohmann::json& request, int* count, const char* failureMessage,
                         const char* operation) noexcept {
    return fetchPairs<double>(handle, request, count, failureMessage, operation, toDoublePairArray);
}

int64_t* fetchIntegerPairs(uint64_t handle, const char* command, int* count) noexcept {
    return fetchPairsOf<int64_t>(handle, command, count, toIntegerPairArray);
}

double* fetchDoublePairs(uint64_t handle, const char* command, int* count) noexcept {
    return fetchPairsOf<double>(handle, command, count, toDoublePairArray);
}

}  // namespace vel::analysis
