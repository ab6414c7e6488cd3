#pragma once
// Record batches the service keeps for the caller (time-tag, pulse and raw
// coincidence records): the wire payload (an unsigned 32-bit little-endian
// count N, then N packed little-endian records), the caller's array of 64-bit
// values per record, and the polling fetch every record export shares.

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vel {
class SessionContext;
struct AnalysisState;
}  // namespace vel

namespace vel::analysis {

// The shape of one record kind.
struct RecordLayout {
    size_t wireSize;         // bytes of one packed wire record
    size_t valuesPerRecord;  // 64-bit values per record in the caller's array
    uint32_t maxRecords;     // the most records one caller array may hold
    // Widens one wire record into its valuesPerRecord values.
    void (*widen)(const uint8_t* wire, int64_t* values);
};

// T2: int32 (sign-extended) at 0, int64 at 4; 12 bytes.
extern const RecordLayout kT2Records;
// T3: uint32 at 0, int32 at 4 and 8, uint32 at 12; 16 bytes.
extern const RecordLayout kT3Records;
// Time over threshold and energy spectrum: int32 at 0, uint32 at 4; 8 bytes.
extern const RecordLayout kPulseRecords;
// N-fold coincidences: int64 at 0, int32 at 8, int64 at 12, int32 at 20,
// int64 at 24; 32 bytes.
extern const RecordLayout kNCoinsRecords;

// What one record fetch sends and logs.
struct RecordFetch {
    nlohmann::json request;
    const RecordLayout& layout;
    const char* jsonReplyFailed;  // logged when the service answers with JSON
    const char* operation;        // "<operation> exception: ..." for exceptions
    std::chrono::milliseconds pollInterval;
};

// False for fewer than 4 bytes, N >= 2^31 or fewer than 4 + wireSize x N
// bytes (checked before anything is allocated; values is then untouched);
// otherwise values holds the N widened records. Bytes after the last record
// are ignored.
bool decodeRecords(const uint8_t* data, size_t size, const RecordLayout& layout, std::vector<int64_t>& values);

// malloc'ed copy of values for the caller (released with ci_free_int64_data);
// *count (may be null) = the number of records. Null and 0 for no records,
// more than layout.maxRecords or a failed allocation.
int64_t* toRecordArray(const std::vector<int64_t>& values, const RecordLayout& layout, int* count);

// One exchange and decode; false for a session without connection, a JSON
// reply (logged), a payload that does not decode and any exception (logged).
bool fetchRecordBatch(const SessionContext& session, const RecordFetch& fetch, std::vector<int64_t>& values) noexcept;

// The caller's fetch: exchanges until a batch holds records, sleeping
// pollInterval after each empty one, for up to timeoutMs. A failed exchange
// logs failedMessage and gives null; so does the time-out (silently).
int64_t* pollRecords(const SessionContext& session, const RecordFetch& fetch, const std::string& failedMessage,
                     int* count, int timeoutMs);

}  // namespace vel::analysis
