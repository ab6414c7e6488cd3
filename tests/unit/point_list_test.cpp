// Point lists: decoding the service's payload and the two caller arrays made
// from it.

#include "analysis/point_list.h"
#include "point_payload.h"
#include "support/service_session.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

namespace {

using veltest::pointPayload;

// The nearest integer, halves away from zero. mingw-w64's llround gives 1 for
// 0.49999999999999994 (its ceil(x) - x loses the bit below the half), so the
// Windows build rounds the value as a long double, where that difference is exact.
long long referenceRound(double value) {
#if defined(_WIN32)
    return std::llround(static_cast<long double>(value));
#else
    return std::llround(value);
#endif
}

bool decode(const std::string& payload, vel::PointList& points) {
    // An exact-size heap copy, so a read past the end is caught under ASan.
    auto copy = std::make_unique<uint8_t[]>(payload.size() + 1);
    std::memcpy(copy.get(), payload.data(), payload.size());
    return ksq::CNetUtils::deserializePoints2(copy.get(), payload.size(), points);
}

struct FreeArray {
    void operator()(void* p) const { std::free(p); }
};

TEST(PointListDecoding, ReadsPointsInPayloadOrderAndIgnoresTrailingBytes) {
    vel::PointList points{{9, 9}};
    EXPECT_TRUE(decode(pointPayload({{1.5, -2}, {1e300, 0.25}}) + "xyz", points));
    EXPECT_EQ(points, (vel::PointList{{1.5, -2}, {1e300, 0.25}}));
}

TEST(PointListDecoding, AcceptsAnEmptyList) {
    vel::PointList points{{9, 9}};
    EXPECT_TRUE(decode(pointPayload({}), points));
    EXPECT_TRUE(points.empty());
}

TEST(PointListDecoding, RejectsShortOrOversizedAnnouncements) {
    vel::PointList points{{9, 9}};
    EXPECT_FALSE(decode(std::string("\x01\x00\x00", 3), points));
    EXPECT_FALSE(decode(pointPayload({}, 0x80000000LL), points));
    EXPECT_FALSE(decode(pointPayload({}, 0xFFFFFFFFLL), points));
    EXPECT_FALSE(decode(pointPayload({{1, 2}, {3, 4}}, 3), points));
    // One byte short of the last point.
    const std::string full = pointPayload({{1, 2}});
    EXPECT_FALSE(decode(full.substr(0, full.size() - 1), points));
    EXPECT_FALSE(ksq::CNetUtils::deserializePoints2(nullptr, 0, points));
    EXPECT_EQ(points, (vel::PointList{{9, 9}}));  // untouched on failure
}

TEST(PointListDecoding, ReadsLittleEndianIntegersAndAdvances) {
    const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x84, 0xFE, 0xFF, 0xFF, 0xFF,
                             0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80};
    const uint8_t* cursor = bytes;
    EXPECT_EQ(ksq::CNetUtils::decode_uint32_le(&cursor), 0x84030201u);
    EXPECT_EQ(ksq::CNetUtils::decode_int32_le(&cursor), -2);
    EXPECT_EQ(ksq::CNetUtils::decode_uint64_le(&cursor), 0x8000000000000001ull);
    EXPECT_EQ(cursor, bytes + sizeof bytes);
}

TEST(PointArrays, RoundHalvesAwayFromZero) {
    int count = -1;
    std::unique_ptr<int64_t, FreeArray> array(
        vel::toIntegerPairArray({{0.5, -0.5}, {1.5, -2.5}, {2.4999, -2.5001}, {1e15 + 0.5, -7}}, &count));
    ASSERT_TRUE(array);
    ASSERT_EQ(count, 4);
    const int64_t expected[] = {1, -1, 2, -3, 2, -3, 1000000000000001, -7};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(array.get()[i], expected[i]) << i;
    }
}

// The rounding is done without llround; it must give what llround gives for
// every value inside the 64-bit range: next to halves at every magnitude,
// next to the powers of two where doubles stop having fractions, and at
// random.
TEST(PointArrays, RoundLikeLlroundEverywhereInRange) {
    std::vector<double> values = {0.0,
                                  -0.0,
                                  0.49999999999999994,
                                  -0.49999999999999994,
                                  4503599627370495.5,
                                  -4503599627370495.5,
                                  9223372036854774784.0,
                                  -9223372036854775808.0};
    for (double whole = 1; whole < 1e19; whole *= 3.7) {
        for (const double base : {std::floor(whole) + 0.5, std::floor(whole), std::ldexp(1.0, std::ilogb(whole))}) {
            for (const double sign : {1.0, -1.0}) {
                const double v = sign * base;
                values.insert(values.end(), {v, std::nextafter(v, 0.0), std::nextafter(v, v * 2)});
            }
        }
    }
    uint64_t state = 99;
    for (int i = 0; i < 100000; ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const double mantissa = static_cast<double>(state >> 11) / 9007199254740992.0;  // [0, 1)
        values.push_back((state & 1 ? -1 : 1) * std::ldexp(mantissa, static_cast<int>(state >> 58)));
    }
    vel::PointList points;
    for (const double v : values) {
        if (std::fabs(v) < 9223372036854775808.0) {
            points.emplace_back(v, -v);
        }
    }
    int count = 0;
    std::unique_ptr<int64_t, FreeArray> array(vel::toIntegerPairArray(points, &count));
    ASSERT_EQ(count, static_cast<int>(points.size()));
    for (size_t i = 0; i < points.size(); ++i) {
        ASSERT_EQ(array.get()[2 * i], referenceRound(points[i].first)) << std::hexfloat << points[i].first;
        ASSERT_EQ(array.get()[2 * i + 1], referenceRound(points[i].second)) << std::hexfloat << points[i].second;
    }
}

TEST(PointArrays, TurnNonFinitePointsIntoZeroPairs) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const vel::PointList points{{1, nan}, {-inf, 2}, {3.25, 4}, {nan, inf}};
    int count = 0;
    std::unique_ptr<int64_t, FreeArray> integers(vel::toIntegerPairArray(points, &count));
    ASSERT_EQ(count, 4);
    const int64_t expectedIntegers[] = {0, 0, 0, 0, 3, 4, 0, 0};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(integers.get()[i], expectedIntegers[i]) << i;
    }
    std::unique_ptr<double, FreeArray> doubles(vel::toDoublePairArray(points, &count));
    ASSERT_EQ(count, 4);
    const double expectedDoubles[] = {0, 0, 0, 0, 3.25, 4, 0, 0};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(doubles.get()[i], expectedDoubles[i]) << i;
    }
}

TEST(PointArrays, ClampValuesBeyondTheIntegerRange) {
    int count = 0;
    std::unique_ptr<int64_t, FreeArray> array(vel::toIntegerPairArray({{1e300, -1e300}}, &count));
    ASSERT_EQ(count, 1);
    EXPECT_EQ(array.get()[0], std::numeric_limits<int64_t>::max());
    EXPECT_EQ(array.get()[1], std::numeric_limits<int64_t>::min());
}

TEST(PointArrays, GiveNullAndZeroForAnEmptyList) {
    int count = 5;
    EXPECT_EQ(vel::toIntegerPairArray({}, &count), nullptr);
    EXPECT_EQ(count, 0);
    count = 5;
    EXPECT_EQ(vel::toDoublePairArray({}, &count), nullptr);
    EXPECT_EQ(count, 0);
    std::unique_ptr<double, FreeArray> array(vel::toDoublePairArray({{1, 2}}, nullptr));
    EXPECT_TRUE(array);
}

// Points that exercise every conversion rule: halves both ways, values beyond
// the integer range, infinities, NaN and negative zero.
vel::PointList pointsOfEveryKind() {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return {{0.5, -0.5}, {1.5, -2.5}, {1e300, -1e300}, {1, nan}, {-inf, 2}, {-0.0, 3.25}, {1e15 + 0.5, -7}};
}

// The payload's point bytes, where the in-place conversions expect them.
template <class Element>
std::vector<Element> pointBytesAsElements(const vel::PointList& points) {
    const std::string payload = pointPayload(points);
    std::vector<Element> elements(points.size() * 2);
    std::memcpy(elements.data(), payload.data() + 4, payload.size() - 4);
    return elements;
}

TEST(PointArraysInPlace, EqualTheArraysMadeFromDecodedPoints) {
    const vel::PointList points = pointsOfEveryKind();
    int count = 0;
    std::unique_ptr<int64_t, FreeArray> integers(vel::toIntegerPairArray(points, &count));
    std::vector<int64_t> integersInPlace = pointBytesAsElements<int64_t>(points);
    vel::integerPairsInPlace(integersInPlace.data(), points.size());
    EXPECT_EQ(integersInPlace, std::vector<int64_t>(integers.get(), integers.get() + 2 * points.size()));

    std::unique_ptr<double, FreeArray> doubles(vel::toDoublePairArray(points, &count));
    std::vector<double> doublesInPlace = pointBytesAsElements<double>(points);
    vel::doublePairsInPlace(doublesInPlace.data(), points.size());
    // Compared bit for bit, so that negative zero counts.
    EXPECT_EQ(std::memcmp(doublesInPlace.data(), doubles.get(), doublesInPlace.size() * sizeof(double)), 0);
}

using PointListFetch = veltest::ServiceSessionTest;

TEST_F(PointListFetch, MillionPointListArrivesInBothArrayFormsAsIfDecodedFirst) {
    vel::PointList points(1000000);
    for (size_t i = 0; i < points.size(); ++i) {
        points[i] = {static_cast<double>(i) * 0.75 - 3e5, static_cast<double>((i * 7919) % 100003) / 3.0};
    }
    const vel::PointList kinds = pointsOfEveryKind();
    std::copy(kinds.begin(), kinds.end(), points.begin() + 500000);
    service.replyBinary(pointPayload(points));
    service.replyBinary(pointPayload(points));

    int count = 0;
    std::unique_ptr<int64_t, FreeArray> integers(ci_fetch_tof_processdata(handle, &count));
    ASSERT_TRUE(integers);
    ASSERT_EQ(count, 1000000);
    std::unique_ptr<int64_t, FreeArray> expectedIntegers(vel::toIntegerPairArray(points, nullptr));
    EXPECT_EQ(std::memcmp(integers.get(), expectedIntegers.get(), 2 * points.size() * sizeof(int64_t)), 0);

    count = 0;
    std::unique_ptr<double, FreeArray> doubles(ci_fetch_cross_correlation_data(handle, &count));
    ASSERT_TRUE(doubles);
    ASSERT_EQ(count, 1000000);
    std::unique_ptr<double, FreeArray> expectedDoubles(vel::toDoublePairArray(points, nullptr));
    EXPECT_EQ(std::memcmp(doubles.get(), expectedDoubles.get(), 2 * points.size() * sizeof(double)), 0);
}

TEST_F(PointListFetch, ListsThatDoNotDecodeAreReadToTheirEndAndGiveNothing) {
    std::string highBitCount;
    veltest::appendLe(highBitCount, 0x80000001u, 4);
    highBitCount += std::string(32, '\1');
    const std::string undecodable[] = {
        std::string("\1\0", 2),                    // shorter than the count
        pointPayload({{1, 2}, {3, 4}}, 3),         // more points announced than sent
        highBitCount,                              // a count of 2^31 or more
        pointPayload({}) + std::string(20, '\7'),  // an empty list with bytes after it
    };
    for (const std::string& payload : undecodable) {
        service.replyBinary(payload);
        int count = -1;
        EXPECT_EQ(ci_fetch_tof_processdata(handle, &count), nullptr);
        EXPECT_EQ(count, 0);
    }
    // Bytes after the announced points are read and dropped too.
    service.replyBinary(pointPayload({{1.5, 2}}) + std::string(17, '\xFF'));
    service.replyBinary(pointPayload({{-4, 0.25}}));
    int count = 0;
    std::unique_ptr<int64_t, FreeArray> first(ci_fetch_tof_processdata(handle, &count));
    ASSERT_TRUE(first);
    EXPECT_EQ((std::vector<int64_t>(first.get(), first.get() + 2)), (std::vector<int64_t>{2, 2}));
    std::unique_ptr<double, FreeArray> second(ci_fetch_cross_correlation_data(handle, &count));
    ASSERT_TRUE(second);
    EXPECT_EQ(count, 1);
    EXPECT_EQ((std::vector<double>(second.get(), second.get() + 2)), (std::vector<double>{-4, 0.25}));
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(PointListFetch, ListCutShortByThePeerIsAnExchangeFailure) {
    service.replyThenClose(veltest::FakeService::lengthHeader(4 + 160) + pointPayload({{1, 2}}, 10));
    int count = -1;
    EXPECT_EQ(ci_fetch_cross_correlation_data(handle, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Fetch analysis data exception: Failed to read full binary data"});
}

}  // namespace
