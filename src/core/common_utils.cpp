#include "core/common_utils.h"

#include <climits>
#include <cstddef>
#include <cstdio>

namespace ksq {

namespace {

constexpr int kInvalidArguments = -1;
constexpr int kBufferTooSmall = -2;
constexpr int kFormatError = -3;

// Widest text of one value with its separator: "-9223372036854775808" plus ","
// or a line feed.
constexpr int64_t kInt64ValueBytes = 21;
constexpr int64_t kInt64PairBytes = 42;
constexpr int64_t kDoublePairBytes = 80;

// The size query: bytesPerItem * items + 1 when that fits in an int, else -1.
int sizeEstimate(int64_t bytesPerItem, int64_t items) {
    if (items > (INT_MAX - 1) / bytesPerItem) {
        return kInvalidArguments;
    }
    return static_cast<int>(bytesPerItem * items + 1);
}

// Appends text to a caller buffer, keeping it NUL-terminated after every
// piece. The first piece that does not fit together with the NUL ends the
// call: finish() then empties the buffer so no partial text is left behind.
class BoundedText {
public:
    BoundedText(char* buffer, int capacity)
        : buffer_(buffer), capacity_(static_cast<size_t>(capacity)) {
        buffer_[0] = '\0';
    }

    char* cursor() const { return buffer_ + used_; }
    size_t remaining() const { return capacity_ - used_; }

    // Takes the result of an snprintf into cursor() with remaining() bytes.
    bool commit(int written) {
        if (written < 0) {
            status_ = kFormatError;
            return false;
        }
        if (static_cast<size_t>(written) >= remaining()) {
            status_ = kBufferTooSmall;
            return false;
        }
        used_ += static_cast<size_t>(written);
        return true;
    }

    // One character, which needs a second byte left for the NUL.
    bool put(char c) {
        if (remaining() < 2) {
            status_ = kBufferTooSmall;
            return false;
        }
        buffer_[used_++] = c;
        buffer_[used_] = '\0';
        return true;
    }

    bool hasRoomForMore() {
        if (remaining() < 2) {
            status_ = kBufferTooSmall;
            return false;
        }
        return true;
    }

    int finish() const {
        if (status_ != 0) {
            buffer_[0] = '\0';
            return status_;
        }
        buffer_[used_] = '\0';
        return static_cast<int>(used_);
    }

private:
    char* buffer_;
    size_t capacity_;
    size_t used_ = 0;
    int status_ = 0;
};

// A null values pointer with count > 0 is rejected and leaves the empty string.
bool rejectMissingValues(char* buffer, const void* values, int count) {
    if (values == nullptr && count > 0) {
        buffer[0] = '\0';
        return true;
    }
    return false;
}

bool isSizeQuery(const char* buffer, int capacity) {
    return buffer == nullptr || capacity <= 0;
}

// One row: the values joined by "," and a line feed.
bool writeRow(BoundedText& text, const int64_t* rowValues, int columns) {
    for (int column = 0; column < columns; ++column) {
        if (column > 0 && !text.put(',')) {
            return false;
        }
        const auto value = static_cast<long long>(rowValues[column]);
        if (!text.commit(std::snprintf(text.cursor(), text.remaining(), "%lld", value))) {
            return false;
        }
    }
    return text.put('\n');
}

// The course shared by the pair formatters: argument checks, the size query,
// then one line per pair until a line fails.
template <typename Value, typename WritePair>
int formatPairs(char* buffer, int capacity, const Value* pairs, int count, int64_t bytesPerPair,
                WritePair writePair) {
    if (count < 0) {
        return kInvalidArguments;
    }
    if (isSizeQuery(buffer, capacity)) {
        return sizeEstimate(bytesPerPair, count);
    }
    if (rejectMissingValues(buffer, pairs, count)) {
        return kInvalidArguments;
    }
    BoundedText text(buffer, capacity);
    for (ptrdiff_t i = 0; i < count; ++i) {
        if (!writePair(text, pairs[2 * i], pairs[2 * i + 1])) {
            break;
        }
    }
    return text.finish();
}

}  // namespace

int CCommonUtils::int64_array_to_string(char* buffer, int capacity, const int64_t* values,
                                        int count, int columns) {
    if (count < 0 || columns <= 0) {
        return kInvalidArguments;
    }
    if (isSizeQuery(buffer, capacity)) {
        return sizeEstimate(kInt64ValueBytes, static_cast<int64_t>(columns) * count);
    }
    if (rejectMissingValues(buffer, values, count)) {
        return kInvalidArguments;
    }
    BoundedText text(buffer, capacity);
    for (int row = 0; row < count; ++row) {
        if (!writeRow(text, values + static_cast<ptrdiff_t>(row) * columns, columns)) {
            break;
        }
    }
    return text.finish();
}

int CCommonUtils::int64_pairs_to_string(char* buffer, int capacity, const int64_t* pairs,
                                        int count) {
    return formatPairs(buffer, capacity, pairs, count, kInt64PairBytes,
                       [](BoundedText& text, int64_t x, int64_t y) {
                           return text.commit(std::snprintf(text.cursor(), text.remaining(),
                                                            "%lld,%lld\n", static_cast<long long>(x),
                                                            static_cast<long long>(y)));
                       });
}

int CCommonUtils::double_pairs_to_string(char* buffer, int capacity, const double* pairs,
                                         int count) {
    return formatPairs(buffer, capacity, pairs, count, kDoublePairBytes,
                       [](BoundedText& text, double x, double y) {
                           return text.hasRoomForMore() &&
                                  text.commit(std::snprintf(text.cursor(), text.remaining(),
                                                            "%.17g,%.17g\n", x, y));
                       });
}

}  // namespace ksq
