#include "analysis/ncoins_records.h"

#include "analysis/analysis_state.h"
#include "analysis/record_fetch.h"

#include <string>

namespace vel::analysis {

int64_t* pollNCoinsRecords(const SessionContext& session, AnalysisState& state, int strategyIndex, int* count,
                           int timeoutMs) {
    if (count != nullptr) {
        *count = 0;
    }
    if (!state.ncoinsRawEnabled || state.ncoinsRawToFile) {
        return nullptr;
    }
    const RecordFetch fetch{{{"cmd", "fetch_ncoins_rawdata"}, {"strategy_index", strategyIndex}},
                            kNCoinsRecords,
                            "Fetch ncoins raw data failed",
                            "Fetch ncoins raw data",
                            std::chrono::milliseconds(10)};
    return pollRecords(session, fetch, "Fetch ncoins raw data failed for index: " + std::to_string(strategyIndex),
                       count, timeoutMs);
}

}  // namespace vel::analysis
