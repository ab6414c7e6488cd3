#pragma once
// Raw n-fold coincidence records: the wire payload (an unsigned 32-bit
// little-endian count N, then N packed 32-byte little-endian records: int64
// at 0, int32 at 8, int64 at 12, int32 at 20, int64 at 24), the caller's
// array of 5 int64 per record, and the caller's polling fetch.

#include <veltranoapi/veltranoapi.h>

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <vector>

class InstInstance;

namespace vel::analysis {

constexpr size_t kNCoinsWireRecordSize = 32;
// The most records one caller array may hold.
constexpr uint32_t kMaxNCoinsRecords = 429496729;

// False for fewer than 4 bytes, N >= 2^31 or fewer than 4 + 32 N bytes
// (checked before anything is allocated); otherwise records holds the N
// records. Bytes after the last record are ignored.
bool decodeNCoinsRecords(const uint8_t* data, size_t size, std::vector<NCOINS_DATA>& records);

// malloc'ed first, second, third, fourth, fifth per record, the int32 fields
// sign-extended; *count (may be null) = the number of records. Null and 0 for
// no records, more than kMaxNCoinsRecords or a failed allocation.
int64_t* toNCoinsRecordArray(const std::vector<NCOINS_DATA>& records, int* count);

// One "fetch_ncoins_rawdata" exchange: 0 with the decoded records, or -1 for
// a session without connection, a JSON reply ("Fetch ncoins raw data failed"),
// a payload that does not decode and any exception ("Fetch ncoins raw data
// exception: ..."). Never throws.
int fetchNCoinsRecords(InstInstance& session, uint64_t handle, const nlohmann::json& request,
                       std::vector<NCOINS_DATA>& records) noexcept;

// The caller's fetch of one strategy's records, polling every 10 ms for up to
// timeoutMs. Null at once unless raw records were enabled at the latest start
// and stay with the library (no file name).
int64_t* pollNCoinsRecords(InstInstance& session, uint64_t handle, int strategyIndex, int* count, int timeoutMs);

}  // namespace vel::analysis
