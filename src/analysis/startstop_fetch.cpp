#include "analysis/startstop_fetch.h"

#include "analysis/analysis_control.h"
#include "analysis/analysis_state.h"
#include "core/session_context.h"
#include "net/call_kinds.h"

namespace vel::analysis {

int64_t* fetchDualStopPairs(const SessionContext& session, AnalysisState& state, int32_t startChan, int* count,
                            int timeoutMs) noexcept {
    try {
        // Runs under rawBufferMutex. A channel without a buffer yet is waited
        // for like an empty one: the recording thread creates it with its
        // first pairs.
        return fetchBufferedPoints(session, state, count, timeoutMs,
                                   [startChan](AnalysisState& state, PointList& points) {
                                       const auto found = state.startstopRawBuffers.find(startChan);
                                       if (found != state.startstopRawBuffers.end() && found->second) {
                                           points = std::move(*found->second);
                                           found->second->clear();
                                       }
                                       return true;
                                   });
    } catch (...) {
        if (count != nullptr) {
            *count = 0;
        }
        return nullptr;  // the take function could not be wrapped
    }
}

}  // namespace vel::analysis
