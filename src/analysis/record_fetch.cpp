#include "analysis/record_fetch.h"

#include "analysis/point_list.h"
#include "core/session_context.h"
#include "net/call_kinds.h"

#include <cstdlib>
#include <cstring>
#include <thread>

namespace vel::analysis {

namespace {

using ksq::CNetUtils;

void widenT2(const uint8_t* wire, int64_t* values) {
    values[0] = CNetUtils::decode_int32_le(&wire);
    values[1] = static_cast<int64_t>(CNetUtils::decode_uint64_le(&wire));
}

void widenT3(const uint8_t* wire, int64_t* values) {
    values[0] = CNetUtils::decode_uint32_le(&wire);
    values[1] = CNetUtils::decode_int32_le(&wire);
    values[2] = CNetUtils::decode_int32_le(&wire);
    values[3] = CNetUtils::decode_uint32_le(&wire);
}

void widenPulse(const uint8_t* wire, int64_t* values) {
    values[0] = CNetUtils::decode_int32_le(&wire);
    values[1] = CNetUtils::decode_uint32_le(&wire);
}

void widenNCoins(const uint8_t* wire, int64_t* values) {
    values[0] = static_cast<int64_t>(CNetUtils::decode_uint64_le(&wire));
    values[1] = CNetUtils::decode_int32_le(&wire);
    values[2] = static_cast<int64_t>(CNetUtils::decode_uint64_le(&wire));
    values[3] = CNetUtils::decode_int32_le(&wire);
    values[4] = static_cast<int64_t>(CNetUtils::decode_uint64_le(&wire));
}

}  // namespace

const RecordLayout kT2Records{12, 2, 0x3FFFFFFF, widenT2};
const RecordLayout kT3Records{16, 4, 0x1FFFFFFF, widenT3};
const RecordLayout kPulseRecords{8, 2, 0x3FFFFFFF, widenPulse};
const RecordLayout kNCoinsRecords{32, 5, 429496729, widenNCoins};

bool decodeRecords(const uint8_t* data, size_t size, const RecordLayout& layout, std::vector<int64_t>& values) {
    if (data == nullptr || size < 4) {
        return false;
    }
    const uint8_t* cursor = data;
    const uint32_t n = CNetUtils::decode_uint32_le(&cursor);
    if (n >= 0x80000000u || (size - 4) / layout.wireSize < n) {
        return false;
    }
    values.assign(static_cast<size_t>(n) * layout.valuesPerRecord, 0);
    for (size_t i = 0; i < n; ++i) {
        layout.widen(cursor + i * layout.wireSize, values.data() + i * layout.valuesPerRecord);
    }
    return true;
}

int64_t* toRecordArray(const std::vector<int64_t>& values, const RecordLayout& layout, int* count) {
    if (count != nullptr) {
        *count = 0;
    }
    const size_t records = values.size() / layout.valuesPerRecord;
    if (records == 0 || records > layout.maxRecords || values.size() > SIZE_MAX / sizeof(int64_t)) {
        return nullptr;
    }
    auto* array = static_cast<int64_t*>(std::malloc(values.size() * sizeof(int64_t)));
    if (array == nullptr) {
        return nullptr;
    }
    std::memcpy(array, values.data(), values.size() * sizeof(int64_t));
    if (count != nullptr) {
        *count = static_cast<int>(records);
    }
    return array;
}

bool fetchRecordBatch(const SessionContext& session, const RecordFetch& fetch, std::vector<int64_t>& values) noexcept {
    if (!session.connection) {
        return false;
    }
    return guardOperation(session, false, fetch.operation, [&] {
        const CommandResponse response = exchange(session, fetch.request);
        if (response.isJson()) {
            session.logError(fetch.jsonReplyFailed);
            return false;
        }
        const std::vector<uint8_t>& payload = response.getBinary();
        return decodeRecords(payload.data(), payload.size(), fetch.layout, values);
    });
}

int64_t* pollRecords(const SessionContext& session, const RecordFetch& fetch, const std::string& failedMessage,
                     int* count, int timeoutMs) {
    if (count != nullptr) {
        *count = 0;
    }
    const auto startTime = std::chrono::steady_clock::now();
    std::vector<int64_t> values;
    for (;;) {
        if (!fetchRecordBatch(session, fetch, values)) {
            session.logError(failedMessage);
            return nullptr;
        }
        if (!values.empty()) {
            return toRecordArray(values, fetch.layout, count);
        }
        if (std::chrono::steady_clock::now() - startTime > std::chrono::milliseconds(timeoutMs)) {
            return nullptr;
        }
        std::this_thread::sleep_for(fetch.pollInterval);
    }
}

}  // namespace vel::analysis
