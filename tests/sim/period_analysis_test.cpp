// The period analysis through the dispatcher: its keys, the raw periods handed
// out once, the period histogram, and the stability metrics of the simulated
// clock against the analytic levels of its noise (seeded, hand-moved clock).
#include <cmath>

#include "dispatcher_fixture.h"

namespace veltrano::sim {
namespace {

constexpr double kClockHz = 100000;
constexpr double kTau0 = 1 / kClockHz;
constexpr double kPeriodPs = 1e12 / kClockHz;

// Two channels and nothing but the clock on channel 2: white phase noise of
// phase_noise_ps, white frequency noise of frequency_noise.
InstrumentConfig clockOnly(double phaseNoisePs, double frequencyNoise) {
    InstrumentConfig c;
    c.signal.channelCount = 2;
    c.signal.backgroundRateHz = {0.0, 0.0};
    c.signal.detector.noiseRateHz = 0;
    c.signal.pairs.clear();
    c.signal.clock = ClockSourceConfig{true, 2, kClockHz, phaseNoisePs, frequencyNoise};
    return c;
}

class PeriodAnalysisTest : public DispatcherFixture {
protected:
    static Json period(std::int64_t duration, std::int64_t decades, std::int64_t decadePoints,
                       double fnomHz = kClockHz) {
        return Json{{"cmd", "period_analysis"}, {"duration", duration},       {"decades", decades},
                    {"decade_points", decadePoints}, {"average_num", 1},     {"analysis_length", 0},
                    {"fnom_hz", fnomHz},             {"sampling_interval", 10}, {"sampling_num", 0}};
    }
    std::vector<DecodedPoint> metric(int type) {
        return points(Json{{"cmd", "fetch_period_stability_metric"}, {"stability_metric_type", type}});
    }
    // The deviation at tau (s) of a curve; fails when the curve lacks it.
    static double at(const std::vector<DecodedPoint>& curve, double tau) {
        for (const DecodedPoint& p : curve) {
            if (std::fabs(p.x / tau - 1) < 1e-9) return p.y;
        }
        ADD_FAILURE() << "no point at tau " << tau;
        return 0;
    }
};

TEST_F(PeriodAnalysisTest, StartChecksItsKeys) {
    build(clockOnly(5, 1e-7));
    const Json good = period(1, 3, 1);
    for (const char* key : {"duration", "decades", "decade_points", "fnom_hz"}) {
        Json missing = good;
        missing.erase(key);
        EXPECT_EQ(call(missing)["result"], 3) << key;
    }
    for (const char* key : {"decades", "average_num", "analysis_length", "sampling_interval", "sampling_num"}) {
        Json fractional = good;
        fractional[key] = 1.5;
        EXPECT_EQ(call(fractional)["result"], 3) << key;
    }
    Json text = good;
    text["fnom_hz"] = "100000";
    EXPECT_EQ(call(text)["result"], 3);
    EXPECT_EQ(call(period(0, 3, 1))["result"], 5);
    EXPECT_EQ(call(period(1, 0, 1))["result"], 5);
    EXPECT_EQ(call(period(1, 13, 1))["result"], 5);
    EXPECT_EQ(call(period(1, 3, 0))["result"], 5);
    EXPECT_EQ(call(period(1, 3, 51))["result"], 5);
    EXPECT_EQ(call(period(1, 3, 1, 0.0))["result"], 5);
    EXPECT_EQ(call(period(1, 3, 1, -5.0))["result"], 5);
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Idle);
    // An integer frequency is a number too; the library's own values are not checked.
    Json integral = period(1, 3, 1);
    integral["fnom_hz"] = 100000;
    integral["sampling_interval"] = -4;
    EXPECT_EQ(call(integral), (Json{{"result", 0}}));
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Running);
}

TEST_F(PeriodAnalysisTest, FetchesAnswerEmptyListsWithoutAPeriodRun) {
    build(clockOnly(5, 1e-7));
    const std::vector<std::uint8_t> empty{0, 0, 0, 0};
    EXPECT_EQ(binary(Json{{"cmd", "fetch_analysis_rawdata"}}), empty);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_period_stability_metric"}, {"stability_metric_type", 0}}), empty);
    EXPECT_EQ(call(Json{{"cmd", "fetch_period_stability_metric"}})["result"], 3);
    EXPECT_EQ(call(Json{{"cmd", "fetch_period_stability_metric"}, {"stability_metric_type", "0"}})["result"], 3);
    ASSERT_EQ(call(tof(1, 1, 2, 10000))["result"], 0);
    pass(200);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_analysis_rawdata"}}), empty);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_period_stability_metric"}, {"stability_metric_type", 0}}), empty);
    // A period run answers no metric type beyond the four.
    ASSERT_EQ(call(period(1, 2, 1))["result"], 0);
    pass(200);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_period_stability_metric"}, {"stability_metric_type", 7}}), empty);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_period_stability_metric"}, {"stability_metric_type", -1}}), empty);
    EXPECT_EQ(metric(0).size(), 2u);
}

TEST_F(PeriodAnalysisTest, RawPeriodsAreHandedOutOnceWithConsecutiveCycleIndices) {
    build(clockOnly(5, 1e-7));
    ASSERT_EQ(call(period(1, 2, 1))["result"], 0);
    pass(100);
    std::vector<DecodedPoint> raw = points(Json{{"cmd", "fetch_analysis_rawdata"}});
    pass(100);
    const std::vector<DecodedPoint> more = points(Json{{"cmd", "fetch_analysis_rawdata"}});
    raw.insert(raw.end(), more.begin(), more.end());
    // 200 ms of a 100 kHz clock: about 20000 cycles, counted from 0 without a gap.
    ASSERT_NEAR(static_cast<double>(raw.size()), 0.2 * kClockHz, 5);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        ASSERT_EQ(raw[i].x, static_cast<double>(i));
        EXPECT_EQ(raw[i].y, std::round(raw[i].y));
        EXPECT_NEAR(raw[i].y, kPeriodPs, 100);
    }
    EXPECT_TRUE(points(Json{{"cmd", "fetch_analysis_rawdata"}}).empty());
    // The histogram holds the same periods.
    double counted = 0;
    for (const DecodedPoint& p : points(Json{{"cmd", "fetch_processdata"}})) {
        EXPECT_NEAR(p.x, kPeriodPs, 100);
        counted += p.y;
    }
    EXPECT_EQ(counted, static_cast<double>(raw.size()));
    // Its stop command stops it; the data stay.
    EXPECT_EQ(call(Json{{"cmd", "stop_period_analysis"}}), (Json{{"result", 0}}));
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Stopped);
    EXPECT_FALSE(metric(0).empty());
}

TEST_F(PeriodAnalysisTest, WhitePhaseNoiseGivesAllanFallingAsOneOverTauAndModifiedAsTauToMinusThreeHalves) {
    const double sigmaX = 50e-12;
    build(clockOnly(50, 0));
    ASSERT_EQ(call(period(1, 3, 1))["result"], 0);
    pass(1100);
    const auto adev = metric(0);
    const auto mdev = metric(1);
    ASSERT_EQ(adev.size(), 3u);
    for (double m : {1.0, 10.0, 100.0}) {
        const double tau = m * kTau0;
        EXPECT_NEAR(at(adev, tau) / (std::sqrt(3.0) * sigmaX / tau), 1.0, 0.1) << m;
        EXPECT_NEAR(at(mdev, tau) / (std::sqrt(3.0) * sigmaX / (tau * std::sqrt(m))), 1.0, 0.1) << m;
    }
}

TEST_F(PeriodAnalysisTest, WhiteFrequencyNoiseGivesAllanAtItsLevelOverRootTauAndHadamardAlike) {
    const double sigmaY = 1e-5;
    build(clockOnly(0, sigmaY));
    ASSERT_EQ(call(period(1, 3, 1))["result"], 0);
    pass(1100);
    const auto adev = metric(0);
    const auto mdev = metric(1);
    const auto tdev = metric(2);
    const auto hdev = metric(3);
    for (double m : {1.0, 10.0, 100.0}) {
        const double tau = m * kTau0;
        EXPECT_NEAR(at(adev, tau) / (sigmaY / std::sqrt(m)), 1.0, 0.15) << m;
        EXPECT_NEAR(at(hdev, tau) / at(adev, tau), 1.0, 0.15) << m;
    }
    ASSERT_EQ(tdev.size(), mdev.size());
    for (std::size_t i = 0; i < tdev.size(); ++i) {
        EXPECT_EQ(tdev[i].x, mdev[i].x);
        EXPECT_DOUBLE_EQ(tdev[i].y, mdev[i].x * mdev[i].y / std::sqrt(3.0));
    }
}

TEST_F(PeriodAnalysisTest, DarkCountsAndLostTicksOnTheClockChannelLeaveTheDeviationsAlone) {
    const double sigmaY = 1e-5;
    InstrumentConfig config = clockOnly(0, sigmaY);
    config.signal.backgroundRateHz = {0.0, 20000.0};
    build(config);
    // A threshold near the pulse amplitude loses about one tick in twenty.
    ASSERT_EQ(call(Json{{"cmd", "set_dac"}, {"channel", 2}, {"value", 0.44}})["result"], 0);
    ASSERT_EQ(call(Json{{"cmd", "set_deadtime"}, {"channel", 2}, {"value", 0}})["result"], 0);
    ASSERT_EQ(call(period(1, 3, 1))["result"], 0);
    pass(1100);
    const auto raw = points(Json{{"cmd", "fetch_analysis_rawdata"}});
    ASSERT_GT(raw.size(), 80000u);
    std::size_t gaps = 0;
    for (std::size_t i = 1; i < raw.size(); ++i) {
        const double cycles = raw[i].x - raw[i - 1].x;
        ASSERT_GE(cycles, 1);
        // A gap of k cycles is reported whole.
        EXPECT_NEAR(raw[i - 1].y / cycles, kPeriodPs, 1000);
        if (cycles > 1) ++gaps;
    }
    EXPECT_GT(gaps, 1000u);
    const auto adev = metric(0);
    for (double m : {1.0, 10.0, 100.0}) EXPECT_NEAR(at(adev, m * kTau0) / (sigmaY / std::sqrt(m)), 1.0, 0.15) << m;
}

TEST_F(PeriodAnalysisTest, TheFractionalFrequencyIsTakenAgainstTheNominalFrequency) {
    build(clockOnly(0, 0));
    // Against 1 % too high a nominal frequency every cycle reads y = 1 / 1.01 - 1;
    // a constant offset leaves the deviations at (nearly) nothing.
    ASSERT_EQ(call(period(1, 1, 1, kClockHz * 1.01))["result"], 0);
    pass(300);
    const auto adev = metric(0);
    ASSERT_EQ(adev.size(), 1u);
    EXPECT_NEAR(adev[0].x, 1 / (kClockHz * 1.01), 1e-15);
    EXPECT_LT(adev[0].y, 1e-7);
    const auto histogram = points(Json{{"cmd", "fetch_processdata"}});
    ASSERT_EQ(histogram.size(), 1u);
    EXPECT_EQ(histogram[0].x, kPeriodPs);
}

}  // namespace
}  // namespace veltrano::sim
