// The autocorrelation analysis through the dispatcher: its keys and reply
// shapes, and g2 of a Poisson channel (flat at 1) and of the single-photon
// emitter (antibunched: 1 - exp(-gamma |tau|)). Seeded, hand-moved clock;
// bounds are about five standard deviations of the pair counts.
#include <cmath>

#include "dispatcher_fixture.h"
#include "light_signal.h"

namespace veltrano::sim {
namespace {

constexpr double kExcitationHz = 1e6;
constexpr double kLifetimePs = 10000;

// Channel 1 alone: `backgroundHz` of Poisson dark counts, or the emitter when
// `emitter` is set; no threshold noise, pairs or clock.
InstrumentConfig oneChannel(double backgroundHz, bool emitter) {
    InstrumentConfig c;
    c.signal.channelCount = 2;
    c.signal.backgroundRateHz = {backgroundHz, 0.0};
    c.signal.detector.noiseRateHz = 0;
    c.signal.pairs.clear();
    c.signal.clock.enabled = false;
    c.signal.clock.channel = 2;
    if (emitter) c.signal.emitter = EmitterConfig{1, kExcitationHz, kLifetimePs};
    return c;
}

class AutocorrelationTest : public DispatcherFixture {
protected:
    static Json autocorrelation(std::int64_t duration, int ch, double minTau, double maxTau, std::int64_t bins,
                                int enableT2 = 0, const std::string& file = "") {
        return Json{{"cmd", "autocorrelation_analysis"}, {"duration", duration}, {"ch", ch},
                    {"min_tau", minTau},                {"max_tau", maxTau},   {"bin_num", bins},
                    {"enable_t2_data", enableT2},       {"folder_path", ""},    {"file_name", file}};
    }
    // g2 over +-100 ns in 201 bins of about 1 ns after 500 ms of channel 1.
    std::vector<DecodedPoint> measure() {
        EXPECT_EQ(call(autocorrelation(1, 1, -100e-9, 100e-9, 201))["result"], 0);
        pass(500);
        return points(Json{{"cmd", "fetch_autocorrelation_data"}});
    }
    void noDeadTime() { ASSERT_EQ(call(Json{{"cmd", "set_deadtime"}, {"channel", 1}, {"value", 0}})["result"], 0); }
    // Mean g2 of the bins whose centre lies within lo .. hi seconds of zero.
    static double meanWithin(const std::vector<DecodedPoint>& curve, double lo, double hi) {
        double sum = 0;
        int n = 0;
        for (const DecodedPoint& p : curve) {
            if (std::fabs(p.x) < lo || std::fabs(p.x) > hi) continue;
            sum += p.y;
            ++n;
        }
        EXPECT_GT(n, 0);
        return sum / n;
    }
};

TEST_F(AutocorrelationTest, StartChecksItsKeys) {
    build(lightSignalConfig());
    const Json good = autocorrelation(1, 1, -1e-8, 1e-8, 100);
    for (const char* key : {"duration", "ch", "min_tau", "max_tau", "bin_num"}) {
        Json missing = good;
        missing.erase(key);
        EXPECT_EQ(call(missing)["result"], 3) << key;
        Json text = good;
        text[key] = "1";
        EXPECT_EQ(call(text)["result"], 3) << key;
    }
    Json fractional = good;
    fractional["bin_num"] = 10.0;
    EXPECT_EQ(call(fractional)["result"], 3);
    fractional = good;
    fractional["enable_t2_data"] = true;
    EXPECT_EQ(call(fractional)["result"], 3);
    EXPECT_EQ(call(autocorrelation(1, 0, -1e-8, 1e-8, 100))["result"], 4);
    EXPECT_EQ(call(autocorrelation(1, 5, -1e-8, 1e-8, 100))["result"], 4);
    EXPECT_EQ(call(autocorrelation(0, 1, -1e-8, 1e-8, 100))["result"], 5);
    EXPECT_EQ(call(autocorrelation(1, 1, 1e-8, 1e-8, 100))["result"], 5);
    EXPECT_EQ(call(autocorrelation(1, 1, 2e-8, 1e-8, 100))["result"], 5);
    EXPECT_EQ(call(autocorrelation(1, 1, 0, 2e-3, 100))["result"], 5);
    EXPECT_EQ(call(autocorrelation(1, 1, 0, 1e-8, 0))["result"], 5);
    EXPECT_EQ(call(autocorrelation(1, 1, 0, 1e-8, (1 << 20) + 1))["result"], 5);
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Idle);
    // Integer delays are numbers too.
    Json integral = good;
    integral["min_tau"] = 0;
    EXPECT_EQ(call(integral), (Json{{"result", 0}}));
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Running);
}

TEST_F(AutocorrelationTest, CurveHasOnePointPerLinearBinAtItsCentreInSeconds) {
    build(lightSignalConfig());
    const std::vector<std::uint8_t> empty{0, 0, 0, 0};
    EXPECT_EQ(binary(Json{{"cmd", "fetch_autocorrelation_data"}}), empty);
    ASSERT_EQ(call(autocorrelation(1, 1, -2e-9, 8e-9, 5))["result"], 0);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_autocorrelation_data"}}), empty);  // nothing counted yet
    pass(200);
    const auto curve = points(Json{{"cmd", "fetch_autocorrelation_data"}});
    ASSERT_EQ(curve.size(), 5u);
    for (std::size_t i = 0; i < curve.size(); ++i) EXPECT_NEAR(curve[i].x, -1e-9 + 2e-9 * i, 1e-21);
    // "fetch_processdata" answers the raw pair counts in ps; clearing forgets them.
    const auto counts = points(Json{{"cmd", "fetch_processdata"}});
    ASSERT_EQ(counts.size(), 5u);
    EXPECT_NEAR(counts[0].x, -1000, 1e-6);
    EXPECT_EQ(call(Json{{"cmd", "clear_analysis_data"}})["result"], 0);
    for (const DecodedPoint& p : points(Json{{"cmd", "fetch_processdata"}})) EXPECT_EQ(p.y, 0);
    EXPECT_TRUE(points(Json{{"cmd", "fetch_autocorrelation_data"}}).empty());
    EXPECT_EQ(call(Json{{"cmd", "stop_autocorrelation_analysis"}}), (Json{{"result", 0}}));
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Stopped);
}

TEST_F(AutocorrelationTest, PoissonChannelSitsAtOne) {
    build(oneChannel(500000, false));
    noDeadTime();
    const auto curve = measure();
    ASSERT_EQ(curve.size(), 201u);
    // About 125 pairs per bin: each bin within five standard deviations, their mean within 3 %.
    double sum = 0;
    for (const DecodedPoint& p : curve) {
        EXPECT_NEAR(p.y, 1.0, 0.45) << p.x;
        sum += p.y;
    }
    EXPECT_NEAR(sum / static_cast<double>(curve.size()), 1.0, 0.03);
    EXPECT_NEAR(meanWithin(curve, 0, 2e-9), 1.0, 0.2);
}

TEST_F(AutocorrelationTest, TheChannelDeadTimeEmptiesTheShortestDelays) {
    build(oneChannel(500000, false));
    ASSERT_EQ(call(Json{{"cmd", "set_deadtime"}, {"channel", 1}, {"value", 10000}})["result"], 0);
    const auto curve = measure();
    EXPECT_EQ(meanWithin(curve, 0, 9e-9), 0.0);
    EXPECT_NEAR(meanWithin(curve, 20e-9, 100e-9), 1.0, 0.05);
}

TEST_F(AutocorrelationTest, SinglePhotonEmitterIsAntibunched) {
    build(oneChannel(0, true));
    noDeadTime();
    const auto curve = measure();
    const double gamma = kExcitationHz + 1e12 / kLifetimePs;  // 1 / s
    // About 490 pairs per bin at long delays.
    EXPECT_LT(meanWithin(curve, 0, 0.6e-9), 0.1);
    EXPECT_NEAR(meanWithin(curve, 50e-9, 100e-9), 1.0 - std::exp(-gamma * 75e-9), 0.03);
    double expected = 0;
    int n = 0;
    for (const DecodedPoint& p : curve) {
        if (std::fabs(p.x) < 5e-9 || std::fabs(p.x) > 15e-9) continue;
        expected += 1.0 - std::exp(-gamma * std::fabs(p.x));
        ++n;
    }
    EXPECT_NEAR(meanWithin(curve, 5e-9, 15e-9), expected / n, 0.05);
}

}  // namespace
}  // namespace veltrano::sim
