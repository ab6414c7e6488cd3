#include "core/common_utils.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstring>
#include <vector>

using ksq::CCommonUtils;

namespace {

// A buffer pre-filled with 'X' so leftovers of a failed call are visible.
std::vector<char> dirtyBuffer(size_t size) {
    return std::vector<char>(size, 'X');
}

}  // namespace

TEST(Int64PairsToString, WritesOneLinePerPair) {
    const int64_t pairs[] = {1, 2, -3, 4};
    auto buffer = dirtyBuffer(64);
    EXPECT_EQ(CCommonUtils::int64_pairs_to_string(buffer.data(), 64, pairs, 2), 9);
    EXPECT_STREQ(buffer.data(), "1,2\n-3,4\n");
}

TEST(Int64PairsToString, NeedsRoomForTheTerminatingNul) {
    const int64_t pairs[] = {1, 2, -3, 4};
    auto buffer = dirtyBuffer(16);
    EXPECT_EQ(CCommonUtils::int64_pairs_to_string(buffer.data(), 9, pairs, 2), -2);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(CCommonUtils::int64_pairs_to_string(buffer.data(), 10, pairs, 2), 9);
    EXPECT_STREQ(buffer.data(), "1,2\n-3,4\n");
    // The first line fits but the second does not: nothing of the first stays.
    buffer = dirtyBuffer(16);
    EXPECT_EQ(CCommonUtils::int64_pairs_to_string(buffer.data(), 6, pairs, 2), -2);
    EXPECT_EQ(buffer[0], '\0');
}

TEST(Int64PairsToString, SizeQueryStopsAtIntMax) {
    EXPECT_EQ(CCommonUtils::int64_pairs_to_string(nullptr, 0, nullptr, 10), 421);
    EXPECT_EQ(CCommonUtils::int64_pairs_to_string(nullptr, 100, nullptr, 0), 1);
    char buffer[4];
    EXPECT_EQ(CCommonUtils::int64_pairs_to_string(buffer, 0, nullptr, 10), 421);
    EXPECT_EQ(CCommonUtils::int64_pairs_to_string(nullptr, 0, nullptr, 51130563), INT_MAX);
    EXPECT_EQ(CCommonUtils::int64_pairs_to_string(nullptr, 0, nullptr, 51130564), -1);
    EXPECT_EQ(CCommonUtils::int64_pairs_to_string(nullptr, 0, nullptr, INT_MAX), -1);
}

TEST(Int64PairsToString, SizeEstimateHoldsTheWidestValues) {
    const int64_t pairs[] = {INT64_MIN, INT64_MIN, INT64_MAX, INT64_MIN};
    const int size = CCommonUtils::int64_pairs_to_string(nullptr, 0, pairs, 2);
    std::vector<char> buffer(static_cast<size_t>(size));
    EXPECT_EQ(CCommonUtils::int64_pairs_to_string(buffer.data(), size, pairs, 2), 83);
    EXPECT_STREQ(buffer.data(),
                 "-9223372036854775808,-9223372036854775808\n"
                 "9223372036854775807,-9223372036854775808\n");
}

TEST(Int64ArrayToString, WritesRowsOfCommaSeparatedValues) {
    const int64_t values[] = {1, 2, 3, 4, 5, 6};
    auto buffer = dirtyBuffer(64);
    EXPECT_EQ(CCommonUtils::int64_array_to_string(buffer.data(), 64, values, 2, 3), 12);
    EXPECT_STREQ(buffer.data(), "1,2,3\n4,5,6\n");
    EXPECT_EQ(CCommonUtils::int64_array_to_string(buffer.data(), 64, values, 3, 2), 12);
    EXPECT_STREQ(buffer.data(), "1,2\n3,4\n5,6\n");
}

TEST(Int64ArrayToString, FailsWholeWhenAnyPieceDoesNotFit) {
    const int64_t values[] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(CCommonUtils::int64_array_to_string(nullptr, 0, values, 2, 3), 127);
    // Capacity 13 fits exactly; each smaller capacity ends at a value, a comma
    // or a line feed, and must leave nothing behind.
    for (int capacity = 1; capacity <= 12; ++capacity) {
        auto buffer = dirtyBuffer(16);
        EXPECT_EQ(CCommonUtils::int64_array_to_string(buffer.data(), capacity, values, 2, 3), -2)
            << capacity;
        EXPECT_EQ(buffer[0], '\0') << capacity;
    }
    auto buffer = dirtyBuffer(16);
    EXPECT_EQ(CCommonUtils::int64_array_to_string(buffer.data(), 13, values, 2, 3), 12);
}

TEST(Int64ArrayToString, RejectsBadShapesEvenWithoutBuffer) {
    EXPECT_EQ(CCommonUtils::int64_array_to_string(nullptr, 0, nullptr, 1, 0), -1);
    EXPECT_EQ(CCommonUtils::int64_array_to_string(nullptr, 0, nullptr, 1, -1), -1);
    EXPECT_EQ(CCommonUtils::int64_array_to_string(nullptr, 0, nullptr, -1, 1), -1);
    // 21 * columns * count + 1 is computed without overflowing.
    EXPECT_EQ(CCommonUtils::int64_array_to_string(nullptr, 0, nullptr, 102261126, 1), INT_MAX);
    EXPECT_EQ(CCommonUtils::int64_array_to_string(nullptr, 0, nullptr, 102261127, 1), -1);
    EXPECT_EQ(CCommonUtils::int64_array_to_string(nullptr, 0, nullptr, INT_MAX, INT_MAX), -1);
}

TEST(DoublePairsToString, PrintsSeventeenSignificantDigits) {
    const double pairs[] = {0.5, 2, 0.1, 0, 1e300, -DBL_MIN};
    auto buffer = dirtyBuffer(128);
    const char* expected =
        "0.5,2\n"
        "0.10000000000000001,0\n"
        "1.0000000000000001e+300,-2.2250738585072014e-308\n";
    EXPECT_EQ(CCommonUtils::double_pairs_to_string(buffer.data(), 128, pairs, 3),
              static_cast<int>(std::strlen(expected)));
    EXPECT_STREQ(buffer.data(), expected);
}

TEST(DoublePairsToString, NeedsRoomForTheTerminatingNul) {
    const double pairs[] = {0.5, 2};
    auto buffer = dirtyBuffer(8);
    EXPECT_EQ(CCommonUtils::double_pairs_to_string(buffer.data(), 6, pairs, 1), -2);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(CCommonUtils::double_pairs_to_string(buffer.data(), 7, pairs, 1), 6);
    EXPECT_STREQ(buffer.data(), "0.5,2\n");
}

TEST(DoublePairsToString, SizeQueryStopsAtIntMax) {
    EXPECT_EQ(CCommonUtils::double_pairs_to_string(nullptr, 0, nullptr, 10), 801);
    EXPECT_EQ(CCommonUtils::double_pairs_to_string(nullptr, 0, nullptr, 26843545), 2147483601);
    EXPECT_EQ(CCommonUtils::double_pairs_to_string(nullptr, 0, nullptr, 26843546), -1);
}

TEST(ArrayFormatting, NullValuesWithABufferLeaveItEmpty) {
    auto buffer = dirtyBuffer(8);
    EXPECT_EQ(CCommonUtils::int64_pairs_to_string(buffer.data(), 8, nullptr, 1), -1);
    EXPECT_EQ(buffer[0], '\0');
    buffer = dirtyBuffer(8);
    EXPECT_EQ(CCommonUtils::double_pairs_to_string(buffer.data(), 8, nullptr, 1), -1);
    EXPECT_EQ(buffer[0], '\0');
    buffer = dirtyBuffer(8);
    EXPECT_EQ(CCommonUtils::int64_array_to_string(buffer.data(), 8, nullptr, 1, 1), -1);
    EXPECT_EQ(buffer[0], '\0');
}

TEST(ArrayFormatting, CountZeroWritesTheEmptyString) {
    char buffer[1] = {'X'};
    EXPECT_EQ(CCommonUtils::int64_pairs_to_string(buffer, 1, nullptr, 0), 0);
    EXPECT_EQ(buffer[0], '\0');
    buffer[0] = 'X';
    EXPECT_EQ(CCommonUtils::double_pairs_to_string(buffer, 1, nullptr, 0), 0);
    EXPECT_EQ(buffer[0], '\0');
    buffer[0] = 'X';
    EXPECT_EQ(CCommonUtils::int64_array_to_string(buffer, 1, nullptr, 0, 4), 0);
    EXPECT_EQ(buffer[0], '\0');
}

TEST(ArrayFormatting, NegativeCountIsRejected) {
    char buffer[8];
    EXPECT_EQ(CCommonUtils::int64_pairs_to_string(buffer, 8, nullptr, -1), -1);
    EXPECT_EQ(CCommonUtils::double_pairs_to_string(nullptr, 0, nullptr, -1), -1);
    EXPECT_EQ(CCommonUtils::int64_array_to_string(buffer, 8, nullptr, -1, 1), -1);
}
