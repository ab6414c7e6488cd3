// The pieces of the pulse analyses: the A/D pulse model, the pulse records, the
// widening histogram, and the A/D and coincidence-gated runs fed by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "sim/model/analyses/ad_analysis.h"
#include "sim/model/sources/adc_pulse.h"
#include "sim/model/analyses/analysis_records.h"
#include "sim/model/analyses/conform_es_analysis.h"
#include "sim/model/analyses/pulse_histogram_analysis.h"
#include "sim/model/analyses/widening_histogram.h"

namespace veltrano::sim {
namespace {

Event pulse(int channel, float energyKev, std::int32_t widthPs = 8000) {
    Event e{};
    e.channel = channel;
    e.energyKev = energyKev;
    e.widthPs = widthPs;
    return e;
}

double total(const PointList& points) {
    double sum = 0;
    for (const Point& p : points) sum += p.y;
    return sum;
}

TEST(AdcPulse, ShapeStartsAtZeroPeaksEarlyAndSumsToOne) {
    EXPECT_EQ(pulseShape(0), 0.0);
    EXPECT_EQ(pulseShape(-3), 0.0);
    // (a^k - b^k) peaks where a^k ln a = b^k ln b: k = ln(ln b / ln a) / ln(a / b), about 4.8 samples.
    int peak = 0;
    for (int k = 1; k < 64; ++k) {
        if (pulseShape(k) > pulseShape(peak)) peak = k;
    }
    EXPECT_EQ(peak, 5);
    for (int k = peak; k < 200; ++k) EXPECT_LT(pulseShape(k + 1), pulseShape(k)) << k;
    EXPECT_NEAR(pulseAreaFraction(kMaxIntegrationPoints), 1.0, 1e-12);
    // 64 samples leave out the tail beyond four decay constants.
    EXPECT_NEAR(pulseAreaFraction(64), 1.0 - 16 * std::exp(-4.0) / 14, 0.01);
    EXPECT_EQ(pulseAreaFraction(0), 0.0);
}

TEST(AdcPulse, AreaIsTheSumOfTheRoundedSamplesAndScalesToTheNearestCode) {
    const float energy = 662.0F;
    std::int64_t sum = 0;
    for (int k = 0; k < 40; ++k) {
        const std::int32_t sample = adcSample(energy, k);
        EXPECT_EQ(sample, std::llround(energy * kAdcAreaPerKev * pulseShape(k))) << k;
        sum += sample;
    }
    EXPECT_EQ(pulseArea(energy, 40), sum);
    // The whole pulse holds E x kAdcAreaPerKev up to the rounding of its samples.
    EXPECT_NEAR(static_cast<double>(pulseArea(energy, kMaxIntegrationPoints)), 662.0 * kAdcAreaPerKev, 20);
    EXPECT_EQ(pulseArea(energy, 0), 0);
    EXPECT_EQ(pulseArea(energy, 100000), pulseArea(energy, kMaxIntegrationPoints));
    const std::int64_t area = pulseArea(energy, 64);
    EXPECT_EQ(scaledPulseArea(energy, 64, 1), area);
    EXPECT_EQ(scaledPulseArea(energy, 64, 16), (area + 8) / 16);
    EXPECT_EQ(scaledPulseArea(energy, 64, 0), area);  // a divisor below 1 would divide by zero
    EXPECT_EQ(scaledPulseArea(0.0F, 64, 1), 0);
}

TEST(PulseRecord, EncodesASignedValueAndAnUnsignedNumberLittleEndian) {
    const auto bytes = encodePulseRecord({-5, 0xFFFFFFFFu});
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.end()),
              (std::vector<unsigned char>{0xFB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    const auto width = encodePulseRecord({8000, 2});
    EXPECT_EQ(std::vector<unsigned char>(width.begin(), width.end()),
              (std::vector<unsigned char>{0x40, 0x1F, 0, 0, 2, 0, 0, 0}));
}

TEST(WideningHistogram, CountsWholeUnitsAndWidensToKeepItsBinCount) {
    WideningHistogram h;
    h.add(10000);
    h.add(10000);
    h.add(10003);
    EXPECT_EQ(h.width(), 1);
    const PointList narrow = h.points();
    ASSERT_EQ(narrow.size(), 2u);
    EXPECT_EQ(narrow[0].x, 10000);
    EXPECT_EQ(narrow[0].y, 2);
    EXPECT_EQ(narrow[1].x, 10003);
    for (std::int64_t p = 0; p < 5000; ++p) h.add(20000 + p);
    EXPECT_EQ(h.width(), 2);
    double total = 0;
    for (const Point& p : h.points()) {
        EXPECT_EQ(static_cast<std::int64_t>(p.x) % 2, 0);
        total += p.y;
    }
    EXPECT_EQ(total, 5003);
    EXPECT_LE(h.points().size(), WideningHistogram::kMaxBins);
    h.clear();
    EXPECT_TRUE(h.points().empty());
    EXPECT_EQ(h.width(), 1);
}

TEST(WideningHistogram, ScalesItsCountsWithoutMovingItsBins) {
    WideningHistogram h;
    h.add(-3);
    h.add(7);
    h.add(7);
    const PointList p = h.points(0.25);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].x, -3);
    EXPECT_EQ(p[0].y, 0.25);
    EXPECT_EQ(p[1].y, 0.5);
}

TEST(PulseHistogramAnalysis, MeasuresEveryPulseOfItsChannelAndNumbersItsRecords) {
    PulseHistogramAnalysis run(AnalysisKind::TimeOverThreshold, 2, [](const Event& e) { return e.widthPs; },
                               std::make_unique<RecordStore>(kPulseRecordBytes));
    EXPECT_EQ(run.kind(), AnalysisKind::TimeOverThreshold);
    run.onEvent(pulse(2, 100.0F, 7000), 10);
    run.onEvent(pulse(1, 100.0F, 9999), 20);  // another channel
    run.onEvent(pulse(2, 100.0F, 7000), 30);
    run.onEvent(pulse(2, 100.0F, 7001), 40);
    const PointList histogram = run.processData();
    ASSERT_EQ(histogram.size(), 2u);
    EXPECT_EQ(histogram[0].x, 7000);
    EXPECT_EQ(histogram[0].y, 2);
    EXPECT_EQ(histogram[1].x, 7001);
    const std::vector<std::uint8_t> payload = run.records()->takePayload();
    ASSERT_EQ(payload.size(), 4u + 3 * kPulseRecordBytes);
    EXPECT_EQ(payload[0], 3);
    EXPECT_EQ(payload[4 + 16 + 0], 0x59);  // 7001 = 0x1B59
    EXPECT_EQ(payload[4 + 16 + 4], 2);     // the channel's third pulse
    // Clearing forgets counts and kept records; the numbering goes on.
    run.clear();
    EXPECT_TRUE(run.processData().empty());
    run.onEvent(pulse(2, 100.0F, 7000), 50);
    const std::vector<std::uint8_t> later = run.records()->takePayload();
    ASSERT_EQ(later.size(), 4u + kPulseRecordBytes);
    EXPECT_EQ(later[8], 3);
}

TEST(AdAnalysis, RecordsOneWindowPerPulseFromTheFirstSamplingPointAfterItsTrigger) {
    AdAnalysis run(AdSettings{3, 8, 5});
    run.onEvent(pulse(3, 500.0F), 10);                          // window at points 1 .. 8
    run.onEvent(pulse(3, 900.0F), 8 * kAdcSamplePs);            // busy: opens none
    run.onEvent(pulse(1, 900.0F), 9 * kAdcSamplePs);            // another channel
    run.onEvent(pulse(3, 200.0F), 9 * kAdcSamplePs);            // window at points 9 .. 16
    EXPECT_TRUE(run.processData().empty());
    PointList samples;
    for (int poll = 0; poll < 5; ++poll) {
        const PointList batch = run.takeRawPoints();
        EXPECT_LE(batch.size(), 5u);
        samples.insert(samples.end(), batch.begin(), batch.end());
    }
    ASSERT_EQ(samples.size(), 16u);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(samples[k].x, 1 + k);
        EXPECT_EQ(samples[k].y, adcSample(500.0F, k));
        EXPECT_EQ(samples[8 + k].x, 9 + k);
        EXPECT_EQ(samples[8 + k].y, adcSample(200.0F, k));
    }
    EXPECT_TRUE(run.takeRawPoints().empty());
}

TEST(AdAnalysis, DropsWholePulsesWhenItsBufferIsFullAndForgetsOnClearing) {
    AdAnalysis run(AdSettings{1, kMaxIntegrationPoints, kMaxKeptAdSamples});
    const std::int64_t windowPs = kMaxIntegrationPoints * kAdcSamplePs;
    const std::size_t fitting = kMaxKeptAdSamples / kMaxIntegrationPoints;
    for (std::size_t i = 0; i <= fitting; ++i) run.onEvent(pulse(1, 300.0F), static_cast<std::int64_t>(i) * windowPs);
    EXPECT_EQ(run.droppedPulses(), 1u);
    EXPECT_EQ(run.takeRawPoints().size(), kMaxKeptAdSamples);
    run.onEvent(pulse(1, 300.0F), static_cast<std::int64_t>(fitting + 1) * windowPs);
    run.clear();
    EXPECT_TRUE(run.takeRawPoints().empty());
}

class ConformEsAnalysisTest : public ::testing::Test {
protected:
    // Channel 5 ("ch1") accepts areas 100 .. 200, channel 3 ("ch2") 300 .. 400, in
    // 16-sample integrals without scaling; coincidences within +-1000 ps.
    ConformEsAnalysisTest() {
        settings_.channel1 = 5;
        settings_.channel2 = 3;
        settings_.integrationPoints1 = 16;
        settings_.integrationPoints2 = 16;
        settings_.areaScale = 1;
        settings_.window1 = {100, 200};
        settings_.window2 = {300, 400};
        settings_.windowPs = 1000;
        settings_.durationPs = 10 * kPsPerSecond;
    }
    // An energy whose 16-sample area is about `area`.
    static float energyFor(double area) { return static_cast<float>(area / (kAdcAreaPerKev * pulseAreaFraction(16))); }

    ConformEsSettings settings_;
};

TEST_F(ConformEsAnalysisTest, CountsPairsWithinTheTimeWindowWhoseAreasLieInTheirChannelsWindows) {
    ConformEsAnalysis run(settings_);
    const float in1 = energyFor(150);
    const float in2 = energyFor(350);
    const std::int32_t area1 = scaledPulseArea(in1, 16, 1);
    const std::int32_t area2 = scaledPulseArea(in2, 16, 1);
    run.onEvent(pulse(5, in1), 10000);
    run.onEvent(pulse(3, in2), 10400);          // +400: counted
    run.onEvent(pulse(3, energyFor(250)), 10500);  // outside channel 3's window
    run.onEvent(pulse(1, in2), 10600);          // another channel
    run.onEvent(pulse(3, in2), 12000);          // 2000 after channel 5's pulse: too late
    run.onEvent(pulse(5, in1), 12900);          // -900 from the pulse at 12000: counted
    run.onEvent(pulse(5, energyFor(350)), 13000);  // outside channel 5's window
    run.onComplete(10 * kPsPerSecond);
    const PointList differences = run.processData();
    double atPlus = 0;
    double atMinus = 0;
    for (const Point& p : differences) {
        if (p.y == 0) continue;
        EXPECT_TRUE(std::fabs(p.x - 400) <= 1 || std::fabs(p.x + 900) <= 1) << p.x;
        (p.x > 0 ? atPlus : atMinus) += p.y;
    }
    EXPECT_EQ(atPlus, 1);
    EXPECT_EQ(atMinus, 1);
    // Area 1 is the lower channel (3, "ch2"), area 2 the higher (5, "ch1").
    const PointList lower = run.area1Data();
    const PointList higher = run.area2Data();
    ASSERT_EQ(lower.size(), 1u);
    EXPECT_EQ(lower[0].x, area2);
    EXPECT_EQ(lower[0].y, 2);
    ASSERT_EQ(higher.size(), 1u);
    EXPECT_EQ(higher[0].x, area1);
    EXPECT_EQ(higher[0].y, 2);
    run.clear();
    EXPECT_EQ(total(run.processData()), 0);
    EXPECT_TRUE(run.area1Data().empty());
    EXPECT_TRUE(run.area2Data().empty());
}

TEST_F(ConformEsAnalysisTest, AveragesAllThreeResultsOverItsRuns) {
    settings_.avgTimes = 4;
    ConformEsAnalysis run(settings_);
    for (int i = 0; i < 8; ++i) {
        run.onEvent(pulse(3, energyFor(350)), i * 100000);
        run.onEvent(pulse(5, energyFor(150)), i * 100000 + 100);
    }
    run.onComplete(10 * kPsPerSecond);  // the whole duration: counts / avg_times
    EXPECT_EQ(total(run.processData()), 2);
    EXPECT_EQ(total(run.area1Data()), 2);
    EXPECT_EQ(total(run.area2Data()), 2);
}

}  // namespace
}  // namespace veltrano::sim
