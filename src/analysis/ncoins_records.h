#pragma once
// The caller's fetch of raw n-fold coincidence records (five 64-bit values
// per record: first, second, third, fourth, fifth, the 32-bit fields
// sign-extended).

#include <cstdint>

namespace vel {
class SessionContext;
struct AnalysisState;
}  // namespace vel

namespace vel::analysis {

// Polls "fetch_ncoins_rawdata" for one strategy every 10 ms for up to
// timeoutMs. Null at once unless raw records were enabled at the latest
// start and stay with the library (no file name).
int64_t* pollNCoinsRecords(const SessionContext& session, AnalysisState& state, int strategyIndex, int* count,
                           int timeoutMs);

}  // namespace vel::analysis
