#include "analysis/ncoins_records.h"

#include "analysis/point_list.h"
#include "api/export_boundary.h"
#include "api/inst_instance.h"
#include "net/call_kinds.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace vel::analysis {

namespace {

constexpr const char* kFetchOperation = "Fetch ncoins raw data";
constexpr size_t kFieldsPerRecord = 5;
constexpr auto kPollInterval = std::chrono::milliseconds(10);

}  // namespace

bool decodeNCoinsRecords(const uint8_t* data, size_t size, std::vector<NCOINS_DATA>& records) {
    if (data == nullptr || size < 4) {
        return false;
    }
    const uint8_t* cursor = data;
    const uint32_t n = ksq::CNetUtils::decode_uint32_le(&cursor);
    if (n >= 0x80000000u || (size - 4) / kNCoinsWireRecordSize < n) {
        return false;
    }
    records.clear();
    records.reserve(n);
    for (uint32_t i = 0; i < n; ++i) {
        NCOINS_DATA record{};
        record.first = static_cast<int64_t>(ksq::CNetUtils::decode_uint64_le(&cursor));
        record.second = ksq::CNetUtils::decode_int32_le(&cursor);
        record.third = static_cast<int64_t>(ksq::CNetUtils::decode_uint64_le(&cursor));
        record.fourth = ksq::CNetUtils::decode_int32_le(&cursor);
        record.fifth = static_cast<int64_t>(ksq::CNetUtils::decode_uint64_le(&cursor));
        records.push_back(record);
    }
    return true;
}

int64_t* toNCoinsRecordArray(const std::vector<NCOINS_DATA>& records, int* count) {
    if (count != nullptr) {
        *count = 0;
    }
    if (records.empty() || records.size() > kMaxNCoinsRecords ||
        records.size() > SIZE_MAX / (kFieldsPerRecord * sizeof(int64_t))) {
        return nullptr;
    }
    auto* values = static_cast<int64_t*>(std::malloc(records.size() * kFieldsPerRecord * sizeof(int64_t)));
    if (values == nullptr) {
        return nullptr;
    }
    int64_t* out = values;
    for (const NCOINS_DATA& record : records) {
        *out++ = record.first;
        *out++ = record.second;
        *out++ = record.third;
        *out++ = record.fourth;
        *out++ = record.fifth;
    }
    if (count != nullptr) {
        *count = static_cast<int>(records.size());
    }
    return values;
}

int fetchNCoinsRecords(InstInstance& session, uint64_t handle, const nlohmann::json& request,
                       std::vector<NCOINS_DATA>& records) noexcept {
    try {
        if (!session.connection) {
            return -1;
        }
        const CommandResponse response = exchange(session, request);
        if (response.isJson()) {
            logError(handle, "Fetch ncoins raw data failed");
            return -1;
        }
        const std::vector<uint8_t>& payload = response.getBinary();
        return decodeNCoinsRecords(payload.data(), payload.size(), records) ? 0 : -1;
    } catch (const std::exception& e) {
        logOperationException(handle, kFetchOperation, e);
    } catch (...) {
        logOperationUnknownException(handle, kFetchOperation);
    }
    return -1;
}

int64_t* pollNCoinsRecords(InstInstance& session, uint64_t handle, int strategyIndex, int* count, int timeoutMs) {
    const AnalysisState& state = session.analysis;
    if (!state.ncoinsRawEnabled || state.ncoinsRawToFile) {
        return nullptr;
    }
    const auto startTime = std::chrono::steady_clock::now();
    const nlohmann::json request = {{"cmd", "fetch_ncoins_rawdata"}, {"strategy_index", strategyIndex}};
    std::vector<NCOINS_DATA> records;
    for (;;) {
        if (fetchNCoinsRecords(session, handle, request, records) != 0) {
            logError(handle, "Fetch ncoins raw data failed for index: " + std::to_string(strategyIndex));
            return nullptr;
        }
        if (!records.empty()) {
            return toNCoinsRecordArray(records, count);
        }
        if (std::chrono::steady_clock::now() - startTime > std::chrono::milliseconds(timeoutMs)) {
            return nullptr;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

}  // namespace vel::analysis
