#include <veltranoapi/veltranoapi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

TEST(ArrayCopy, CopiesExactlyCountElements) {
    const int64_t source[] = {7, -8, 9};
    int64_t destination[] = {0, 0, 0};
    ci_copy_int64_data(destination, source, 2);
    EXPECT_EQ(destination[0], 7);
    EXPECT_EQ(destination[1], -8);
    EXPECT_EQ(destination[2], 0);

    const double doubles[] = {0.25, -1.5};
    double doubleDestination[] = {0, 0};
    ci_copy_double_data(doubleDestination, doubles, 2);
    EXPECT_EQ(doubleDestination[0], 0.25);
    EXPECT_EQ(doubleDestination[1], -1.5);

    char bytes[4] = {'a', 'b', 'c', 'd'};
    ci_copy_data(bytes, "xyz", 3);
    EXPECT_EQ(std::memcmp(bytes, "xyzd", 4), 0);
}

TEST(ArrayCopy, IgnoresNullPointersAndNonPositiveCounts) {
    const int64_t source[] = {7};
    int64_t destination[] = {1};
    ci_copy_int64_data(destination, source, 0);
    ci_copy_int64_data(destination, source, -1);
    ci_copy_int64_data(nullptr, source, 1);
    ci_copy_int64_data(destination, nullptr, 1);
    ci_copy_double_data(nullptr, nullptr, 1);
    ci_copy_data(destination, source, 0);
    ci_copy_data(nullptr, source, 8);
    EXPECT_EQ(destination[0], 1);
}

TEST(ArrayRelease, FreesLibraryArraysAndIgnoresNull) {
    ci_free_int64_data(nullptr);
    ci_free_char_data(nullptr);
    ci_free_int64_data(std::malloc(8 * sizeof(int64_t)));
    ci_free_char_data(std::malloc(16));
}

TEST(TextExports, ForwardArgumentsAndResults) {
    const int64_t values[] = {1, 2, 3, 4, 5, 6};
    char buffer[32];
    EXPECT_EQ(ci_int64_array_to_string(buffer, sizeof buffer, values, 2, 3), 12);
    EXPECT_STREQ(buffer, "1,2,3\n4,5,6\n");
    EXPECT_EQ(ci_int64_array_to_string(nullptr, 0, values, 2, 0), -1);

    const int64_t pairs[] = {1, 2, -3, 4};
    EXPECT_EQ(ci_int64_pairs_to_string(buffer, 9, pairs, 2), -2);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(ci_int64_pairs_to_string(nullptr, 0, pairs, 10), 421);

    const double doubles[] = {0.1, 0};
    EXPECT_EQ(ci_double_pairs_to_string(buffer, sizeof buffer, doubles, 1), 22);
    EXPECT_STREQ(buffer, "0.10000000000000001,0\n");
}
