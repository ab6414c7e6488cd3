#include "analysis/point_list_fetch.h"

#include "core/session_context.h"
#include "core/huge_pages.h"
#include "net/call_kinds.h"
#include "net/frame.h"

#include <cstdlib>
#include <new>
#include <utility>

namespace vel::analysis {
namespace {

constexpr const char* kAnalysisDataFailed = "Fetch analysis data failed";
constexpr const char* kAnalysisDataOperation = "Fetch analysis data";

// Decodes a point-list payload straight off the connection into the caller's
// malloc'ed array: the point bytes are received into the array itself and
// converted there, so no other copy of the list is made. A payload that does
// not decode is still read to its end (the connection stays in step) and
// gives no array, like an empty list.
template <class Element>
class PairArrayReader final : public frame::PayloadReader {
public:
    using ConvertInPlace = void (*)(Element*, size_t);
    explicit PairArrayReader(ConvertInPlace convertInPlace) : convertInPlace_(convertInPlace) {}
    ~PairArrayReader() override { std::free(array_); }
    PairArrayReader(const PairArrayReader&) = delete;
    PairArrayReader& operator=(const PairArrayReader&) = delete;

    bool readPayload(ByteSource& source, size_t length) override {
        uint8_t countBytes[4];
        if (length < sizeof countBytes) {
            return frame::skipBytes(source, length);
        }
        if (!source.readExact(countBytes, sizeof countBytes)) {
            return false;
        }
        const uint8_t* cursor = countBytes;
        const uint32_t announced = ksq::CNetUtils::decode_uint32_le(&cursor);
        const size_t pointBytesArrived = length - sizeof countBytes;
        // Checked against the announced payload length before anything is allocated.
        if ((announced & 0x80000000u) != 0 || pointBytesArrived / 16 < announced || announced == 0 ||
            announced > kMaxCallerPoints) {
            return frame::skipBytes(source, pointBytesArrived);
        }
        const size_t pointBytes = size_t{announced} * 16;
        if (!receiveIntoArray(source, pointBytes)) {
            return false;
        }
        convertInPlace_(array_, announced);
        pointCount_ = announced;
        return frame::skipBytes(source, pointBytesArrived - pointBytes);
    }

    // The array and its point count, now owned by the caller; null when the
    // list was empty or did not decode.
    Element* release(int* count) {
        if (array_ != nullptr && count != nullptr) {
            *count = static_cast<int>(pointCount_);
        }
        return std::exchange(array_, nullptr);
    }

private:
    // Grows the array like a received payload, so a corrupt length cannot
    // reserve gigabytes before the bytes arrive.
    bool receiveIntoArray(ByteSource& source, size_t pointBytes) {
        size_t received = 0;
        while (received < pointBytes) {
            const size_t target = frame::nextPayloadTarget(pointBytes, received);
            void* grown = std::realloc(array_, target);
            if (grown == nullptr) {
                throw std::bad_alloc();
            }
            array_ = static_cast<Element*>(grown);
            ksq::adviseHugePages(reinterpret_cast<uint8_t*>(array_) + received, target - received);
            if (!source.readExact(reinterpret_cast<uint8_t*>(array_) + received, target - received)) {
                return false;
            }
            received = target;
        }
        return true;
    }

    ConvertInPlace convertInPlace_;
    Element* array_ = nullptr;
    size_t pointCount_ = 0;
};

template <class Element>
Element* fetchPairs(const SessionContext& session, const nlohmann::json& request, int* count,
                    const char* failureMessage, const char* operation,
                    void (*convertInPlace)(Element*, size_t)) noexcept {
    if (count != nullptr) {
        *count = 0;
    }
    return guardOperation(session, static_cast<Element*>(nullptr), operation, [&]() -> Element* {
        if (!session.connection) {
            return nullptr;
        }
        PairArrayReader<Element> reader(convertInPlace);
        if (exchange(session, request, reader).isJson()) {
            session.logError(failureMessage);
            return nullptr;
        }
        return reader.release(count);
    });
}

// The single-command request, or null when it cannot be built.
template <class Element>
Element* fetchPairsOf(const SessionContext& session, const char* command, int* count,
                      void (*convertInPlace)(Element*, size_t)) noexcept {
    if (count != nullptr) {
        *count = 0;
    }
    try {
        return fetchPairs<Element>(session, {{"cmd", command}}, count, kAnalysisDataFailed, kAnalysisDataOperation,
                                   convertInPlace);
    } catch (...) {
        return nullptr;  // the request could not be built: nothing was sent
    }
}

}  // namespace

bool fetchPointList(const SessionContext& session, const nlohmann::json& request, const char* failureMessage,
                    PointList& points) {
    const CommandResponse response = exchange(session, request);
    if (response.isJson()) {
        session.logError(failureMessage);
        return false;
    }
    const std::vector<uint8_t>& payload = response.getBinary();
    return ksq::CNetUtils::deserializePoints2(payload.data(), payload.size(), points);
}

int64_t* fetchIntegerPairs(const SessionContext& session, const nlohmann::json& request, int* count,
                           const char* failureMessage, const char* operation) noexcept {
    return fetchPairs<int64_t>(session, request, count, failureMessage, operation, integerPairsInPlace);
}

double* fetchDoublePairs(const SessionContext& session, const nlohmann::json& request, int* count,
                         const char* failureMessage, const char* operation) noexcept {
    return fetchPairs<double>(session, request, count, failureMessage, operation, doublePairsInPlace);
}

int64_t* fetchIntegerPairs(const SessionContext& session, const char* command, int* count) noexcept {
    return fetchPairsOf<int64_t>(session, command, count, integerPairsInPlace);
}

double* fetchDoublePairs(const SessionContext& session, const char* command, int* count) noexcept {
    return fetchPairsOf<double>(session, command, count, doublePairsInPlace);
}

}  // namespace vel::analysis
