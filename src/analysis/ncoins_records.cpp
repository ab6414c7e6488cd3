#include "analysis/ncoins_records.h"

#include "analysis/record_fetch.h"
#include "api/inst_instance.h"

#include <string>

namespace vel::analysis {

int64_t* pollNCoinsRecords(InstInstance& session, uint64_t handle, int strategyIndex, int* count, int timeoutMs) {
    if (count != nullptr) {
        *count = 0;
    }
    const AnalysisState& state = session.analysis;
    if (!state.ncoinsRawEnabled || state.ncoinsRawToFile) {
        return nullptr;
    }
    const RecordFetch fetch{{{"cmd", "fetch_ncoins_rawdata"}, {"strategy_index", strategyIndex}},
                            kNCoinsRecords,
                            "Fetch ncoins raw data failed",
                            "Fetch ncoins raw data",
                            std::chrono::milliseconds(10)};
    return pollRecords(session, handle, fetch,
                       "Fetch ncoins raw data failed for index: " + std::to_string(strategyIndex), count, timeoutMs);
}

}  // namespace vel::analysis
