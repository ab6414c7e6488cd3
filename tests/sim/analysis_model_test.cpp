// The pieces the analyses are built from: histogram binning, the point-list and
// record encodings, and the g2 normalisation.
#include <gtest/gtest.h>

#include <cmath>

#include "sim/model/analyses/analysis_records.h"
#include "sim/model/analyses/cross_correlation.h"
#include "sim/model/analyses/histogram.h"
#include "sim/model/analyses/point_list.h"
#include "sim/model/analyses/record_store.h"

namespace veltrano::sim {
namespace {

TEST(Histogram, SymmetricBinsAreCentredOnMultiplesOfTheirWidthAndWhole) {
    Histogram h = Histogram::symmetric(1000, 100);
    ASSERT_EQ(h.binCount(), 19u);  // -900 .. 900; +-1000 would stick out
    EXPECT_EQ(h.position(0), -900);
    EXPECT_EQ(h.position(18), 900);
    h.add(-50);   // the lower edge belongs to the bin at 0
    h.add(49);
    h.add(50);    // the upper edge to the next
    h.add(-951);  // beyond the outermost whole bin
    h.add(950);
    EXPECT_EQ(h.count(9), 2);
    EXPECT_EQ(h.count(10), 1);
    std::int64_t total = 0;
    for (std::size_t i = 0; i < h.binCount(); ++i) total += h.count(i);
    EXPECT_EQ(total, 3);
    EXPECT_EQ(Histogram::symmetric(1, 1).binCount(), 3u);
    EXPECT_EQ(Histogram::symmetric(10, 100).binCount(), 0u);
}

TEST(Histogram, FromZeroBinsStartAtTheirLowerEdge) {
    Histogram h = Histogram::fromZero(1000, 256);
    ASSERT_EQ(h.binCount(), 3u);
    EXPECT_EQ(h.position(2), 512);
    h.add(-1);
    h.add(0);
    h.add(255);
    h.add(256);
    h.add(768);  // the partial bin 768..999 does not exist
    EXPECT_EQ(h.count(0), 2);
    EXPECT_EQ(h.count(1), 1);
    EXPECT_EQ(h.count(2), 0);
    const PointList p = h.points(0.5);
    EXPECT_EQ(p[0].x, 0);
    EXPECT_EQ(p[0].y, 1.0);
    h.clear();
    EXPECT_EQ(h.count(0), 0);
}

TEST(Histogram, PowerOfTwoWidthKeepsTheBinCountWithinItsLimit) {
    EXPECT_EQ(powerOfTwoWidth(4096, 4096), 1);
    EXPECT_EQ(powerOfTwoWidth(4097, 4096), 2);
    EXPECT_EQ(powerOfTwoWidth(20000, 4096), 8);
    EXPECT_EQ(powerOfTwoWidth(2000000000, 4096), 1 << 19);
}

TEST(PointListEncoding, IsALittleEndianCountFollowedByDoublePairs) {
    const std::vector<std::uint8_t> empty = encodePointList({});
    EXPECT_EQ(empty, (std::vector<std::uint8_t>{0, 0, 0, 0}));
    const std::vector<std::uint8_t> one = encodePointList({{1.0, -2.0}});
    const std::vector<std::uint8_t> expected{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0xC0};
    EXPECT_EQ(one, expected);
}

TEST(AnalysisRecordEncoding, T3AndCoincidenceRecordsArePackedLittleEndian) {
    const auto t3 = encodeT3Record({0xFFFFFFFFu, 3, -2, 7});
    const std::array<unsigned char, 16> t3Expected{0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 7, 0, 0, 0};
    EXPECT_EQ(t3, t3Expected);
    const auto n = encodeNCoincidenceRecord({0x0102030405060708, -1, 9, 3, 1});
    EXPECT_EQ(n[0], 0x08);
    EXPECT_EQ(n[7], 0x01);
    EXPECT_EQ(n[8], 0xFF);
    EXPECT_EQ(n[11], 0xFF);
    EXPECT_EQ(n[12], 9);
    EXPECT_EQ(n[20], 3);
    EXPECT_EQ(n[24], 1);
    EXPECT_EQ(n[31], 0);
}

TEST(RecordStore, KeepsRecordsUntilTakenAndDropsBeyondItsLimit) {
    RecordStore store(2);
    const unsigned char record[2] = {0xAB, 0xCD};
    for (std::size_t i = 0; i < RecordStore::kMaxKeptRecords + 3; ++i) store.add(record);
    EXPECT_EQ(store.dropped(), 3u);
    const std::vector<std::uint8_t> payload = store.takePayload();
    ASSERT_EQ(payload.size(), 4 + 2 * RecordStore::kMaxKeptRecords);
    EXPECT_EQ(payload[2], 0x10);  // 2^20 records
    EXPECT_EQ(payload[4], 0xAB);
    EXPECT_EQ(store.takePayload(), (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST(NormalisedG2, RemovesDarkCountsAndRefusesAnEmptyReference) {
    // Two bins of 1 ns: 4 and 1 coincidences over 1 s with 1000 counts each: A = 1e6 * 1e-9 = 1e-3 per bin.
    Histogram h = Histogram::symmetric(1500, 1000);
    ASSERT_EQ(h.binCount(), 3u);
    for (int i = 0; i < 4; ++i) h.add(0);
    h.add(1000);
    CrossCorrelationConfig config;
    const PointList raw = normalisedG2(h, 1000, 1000, 1.0, config);
    ASSERT_EQ(raw.size(), 3u);
    EXPECT_DOUBLE_EQ(raw[1].y, 4000.0);
    EXPECT_DOUBLE_EQ(raw[0].y, 0.0);
    // Half of each channel's rate is dark: rho1 rho2 = 1/4.
    config.dcr1Hz = config.dcr2Hz = 500;
    const PointList clean = normalisedG2(h, 1000, 1000, 1.0, config);
    EXPECT_DOUBLE_EQ(clean[1].y, 1 + 3999.0 * 4);
    EXPECT_DOUBLE_EQ(clean[0].y, 1 - 4.0);
    // Dark rates at or above the rate are not taken out.
    config.dcr1Hz = 5000;
    EXPECT_DOUBLE_EQ(normalisedG2(h, 1000, 1000, 1.0, config)[1].y, 1 + 3999.0 * 2);
    // The outer bins as reference: (0 + 1) / 2 per bin.
    config = CrossCorrelationConfig{1, 1000, 0, 0};
    EXPECT_DOUBLE_EQ(normalisedG2(h, 1000, 1000, 1.0, config)[1].y, 8.0);
    EXPECT_TRUE(normalisedG2(Histogram::symmetric(1500, 1000), 1000, 1000, 1.0, config).empty());
    EXPECT_TRUE(normalisedG2(h, 0, 1000, 1.0, CrossCorrelationConfig{}).empty());
    EXPECT_TRUE(normalisedG2(h, 1000, 1000, 0.0, CrossCorrelationConfig{}).empty());
}

}  // namespace
}  // namespace veltrano::sim
