// The analyses' results against the signal model, on a hand-moved clock with a
// fixed seed: bounds are five (or six) standard deviations of Poisson counting.
#include <cmath>
#include <numeric>

#include "dispatcher_fixture.h"
#include "light_signal.h"

namespace veltrano::sim {
namespace {

constexpr double kPairDelayPs = 1500;
constexpr double kPairJitterPs = 50;

// Fraction of a Gaussian delay (mean d, sigma s) falling into [lo, hi).
double gaussianShare(double lo, double hi, double d, double s) {
    return 0.5 * (std::erf((hi - d) / (s * std::sqrt(2.0))) - std::erf((lo - d) / (s * std::sqrt(2.0))));
}

// Two busy independent channels (3 and 4) beside the light signal's pair source.
InstrumentConfig busyIndependentChannels(double rateHz) {
    InstrumentConfig c = lightSignalConfig();
    c.signal.backgroundRateHz = {100.0, 100.0, rateHz, rateHz};
    return c;
}

class AnalysisPhysicsTest : public DispatcherFixture {};

TEST_F(AnalysisPhysicsTest, TimeOfFlightPeakSitsAtThePairDelayWithThePairJitter) {
    build(lightSignalConfig());
    ASSERT_EQ(call(tof(1, 1, 2, 10000))["result"], 0);
    pass(1100);
    const auto histogram = points(Json{{"cmd", "fetch_processdata"}});
    ASSERT_FALSE(histogram.empty());
    EXPECT_EQ(histogram.front().x, -histogram.back().x);
    double n = 0;
    double sum = 0;
    for (const DecodedPoint& p : histogram) {
        if (std::fabs(p.x - kPairDelayPs) > 10 * kPairJitterPs) continue;
        n += p.y;
        sum += p.y * p.x;
    }
    const double mean = sum / n;
    double squares = 0;
    for (const DecodedPoint& p : histogram) {
        if (std::fabs(p.x - kPairDelayPs) <= 10 * kPairJitterPs) squares += p.y * (p.x - mean) * (p.x - mean);
    }
    const double width = histogram[1].x - histogram[0].x;
    // Every pair is seen (efficiency ~1 at the default threshold); the binning adds width^2 / 12.
    EXPECT_NEAR(n, kLightPairCps, 5 * std::sqrt(kLightPairCps));
    EXPECT_NEAR(mean, kPairDelayPs, 5 * kPairJitterPs / std::sqrt(n) + 0.5);
    EXPECT_NEAR(std::sqrt(squares / n), std::sqrt(kPairJitterPs * kPairJitterPs + width * width / 12),
                5 * kPairJitterPs / std::sqrt(2 * n));
}

TEST_F(AnalysisPhysicsTest, TimeOfFlightAveragesOverItsRuns) {
    build(lightSignalConfig());
    ASSERT_EQ(call(tof(2, 1, 2, 10000, 4))["result"], 0);
    pass(2100);
    const auto histogram = points(Json{{"cmd", "fetch_processdata"}});
    const double total = std::accumulate(histogram.begin(), histogram.end(), 0.0,
                                         [](double s, const DecodedPoint& p) { return s + p.y; });
    // Two seconds of pairs (and a few accidentals) shared among four runs.
    EXPECT_NEAR(total, 2 * kLightPairCps / 4, 5 * std::sqrt(2 * kLightPairCps) / 4 + 10);
}

TEST_F(AnalysisPhysicsTest, G2OfAPairSourcePeaksAtTheExpectedHeight) {
    // Channels 1 and 2 count R_i = P + B: pairs P = 10 kHz plus background B =
    // 5 kHz dark counts and ~45 Hz threshold noise. The coincidence rate density
    // of the two channels is c(tau) = R1 R2 + P p(tau), p the Gaussian delay
    // density (mean 1500 ps, sigma 50 ps), since pairs are a Poisson process and
    // everything else is uncorrelated. A bin of width w centred on the delay
    // catches the share f = erf(w / (2 sqrt(2) sigma)) of the pairs, so
    //   raw g2 = C / (R1 R2 w T) = 1 + P f / (w R1 R2).
    // Taking the dark rates out (rho_i = P / R_i) leaves the pairs' own g2:
    //   g2 = 1 + (raw g2 - 1) / (rho1 rho2) = 1 + f / (P w).
    // The coincidence window only bounds the curve; it does not enter the height.
    build(lightSignalConfig());
    const double binPs = 100;
    const double f = gaussianShare(kPairDelayPs - binPs / 2, kPairDelayPs + binPs / 2, kPairDelayPs, kPairJitterPs);
    const double wS = binPs * 1e-12;
    const double rate = kLightPairCps + kLightBackgroundCps;
    const double expectedRaw = 1 + kLightPairCps * f / (wS * rate * rate);
    const double expectedClean = 1 + f / (kLightPairCps * wS);
    const double relativeError = 5 / std::sqrt(kLightPairCps * f);  // one second of peak counts

    ASSERT_EQ(call(tof(1, 1, 2, 10000))["result"], 0);
    ASSERT_EQ(call(crossCorrelationConfig(0, 100, 0, 0))["result"], 0);
    pass(1100);
    auto peakAt = [](const std::vector<DecodedPoint>& curve, double x) {
        for (const DecodedPoint& p : curve) {
            if (p.x == x) return p.y;
        }
        ADD_FAILURE() << "no bin at " << x;
        return 0.0;
    };
    const auto raw = points(Json{{"cmd", "fetch_cross_correlation_data"}});
    EXPECT_NEAR(peakAt(raw, kPairDelayPs), expectedRaw, relativeError * expectedRaw);

    // The dark counts only change the normalisation: same counts, other configuration.
    const auto dark = static_cast<std::int64_t>(std::lround(kLightBackgroundCps));
    ASSERT_EQ(call(crossCorrelationConfig(0, 100, dark, dark))["result"], 0);
    const auto clean = points(Json{{"cmd", "fetch_cross_correlation_data"}});
    EXPECT_NEAR(peakAt(clean, kPairDelayPs), expectedClean, relativeError * expectedClean);
    // Far from the delay only accidentals remain.
    EXPECT_LT(peakAt(clean, -5000), 50.0);
}

TEST_F(AnalysisPhysicsTest, G2OfIndependentChannelsSitsAtOne) {
    const double rate = 300000;
    build(busyIndependentChannels(rate));
    ASSERT_EQ(call(crossCorrelationConfig(0, 1000, 0, 0))["result"], 0);
    ASSERT_EQ(call(tof(1, 3, 4, 1000000))["result"], 0);
    pass(1100);
    const auto curve = points(Json{{"cmd", "fetch_cross_correlation_data"}});
    ASSERT_EQ(curve.size(), 1999u);
    // About R^2 w T = 90 coincidences per bin.
    const double perBin = rate * rate * 1e-9;
    double sum = 0;
    for (const DecodedPoint& p : curve) {
        EXPECT_NEAR(p.y, 1.0, 6 / std::sqrt(perBin)) << "delay " << p.x;
        sum += p.y;
    }
    EXPECT_NEAR(sum / static_cast<double>(curve.size()), 1.0, 5 / std::sqrt(perBin * static_cast<double>(curve.size())));

    // Normalised by its 100 outermost bins on each side instead of the singles.
    ASSERT_EQ(call(crossCorrelationConfig(100, 1000, 0, 0))["result"], 0);
    const auto twin = points(Json{{"cmd", "fetch_cross_correlation_data"}});
    ASSERT_EQ(twin.size(), curve.size());
    double twinSum = 0;
    for (const DecodedPoint& p : twin) twinSum += p.y;
    EXPECT_NEAR(twinSum / static_cast<double>(twin.size()), 1.0, 5 / std::sqrt(perBin * 200));
}

TEST_F(AnalysisPhysicsTest, CoincidencesOfIndependentChannelsCountAtR1R2Window) {
    const double rate = 100000;
    build(busyIndependentChannels(rate));
    const double windowS = 100e-9;  // 100 times the default 1000 ps coincidence window
    ASSERT_EQ(call(ncoins(5, Json::array({strategy("independent", {3, 4}, 100), strategy("pairs", {1, 2}, 4)})))["result"], 0);
    pass(5100);
    // A reference event counts when the partner has an event within +-window/2:
    // R1 (1 - exp(-R2 window)), which is R1 R2 window for R2 window << 1 (here 0.01).
    const double measuredRate = rate + 45;  // dark counts and threshold noise
    const double expected = 5 * measuredRate * (1 - std::exp(-measuredRate * windowS));
    const auto totals = points(Json{{"cmd", "fetch_processdata"}});
    ASSERT_EQ(totals.size(), 2u);
    EXPECT_NEAR(totals[0].y, expected, 5 * std::sqrt(expected));
    EXPECT_NEAR(expected / 5, measuredRate * measuredRate * windowS, 0.01 * expected / 5);
    // The pair source's 1500 ps delay lies within +-2000 ps: every pair counts.
    EXPECT_NEAR(totals[1].y, 5 * kLightPairCps, 5 * std::sqrt(5 * kLightPairCps) + 50);

    const auto history = points(Json{{"cmd", "fetch_ncoins_cps"}, {"strategy_index", 0}});
    ASSERT_EQ(history.size(), 5u);
    for (std::size_t s = 0; s < history.size(); ++s) {
        EXPECT_EQ(history[s].x, static_cast<double>(s + 1));
        EXPECT_NEAR(history[s].y, expected / 5, 5 * std::sqrt(expected / 5));
    }
    const Json cps = call(Json{{"cmd", "get_ncoins_cps"}, {"strategy_index", 0}});
    EXPECT_NEAR(cps["data"]["value"].get<double>(), expected / 5, 5 * std::sqrt(expected / 5));
}

TEST_F(AnalysisPhysicsTest, StartStopCountsTheFirstStopOfEachStartAndPairsDualStops) {
    build(lightSignalConfig());
    const double windowS = 1e-6;
    ASSERT_EQ(call(startstop(1, Json{{"1", {2, 3}}}, Json{{"1", {2, 3}}}, 1000000))["result"], 0);
    pass(1100);
    const auto pairHistogram = points(Json{{"cmd", "fetch_startstop_processdata"}, {"start_chan", 1}, {"stop_chan", 2}});
    ASSERT_GT(pairHistogram.size(), 2u);
    EXPECT_EQ(pairHistogram.front().x, 0);
    const double width = pairHistogram[1].x;
    double inPeak = 0;
    double offPeak = 0;
    for (const DecodedPoint& p : pairHistogram) {
        const bool overlaps = p.x + width > kPairDelayPs - 5 * kPairJitterPs && p.x < kPairDelayPs + 5 * kPairJitterPs;
        (overlaps ? inPeak : offPeak) += p.y;
    }
    EXPECT_NEAR(inPeak, kLightPairCps, 5 * std::sqrt(kLightPairCps));
    // A background start finds a first stop on channel 2 within the window
    // with probability 1 - exp(-R2 window).
    const double rate2 = kLightPairCps + kLightBackgroundCps;
    const double expectedOffPeak = kLightBackgroundCps * (1 - std::exp(-rate2 * windowS));
    EXPECT_NEAR(offPeak, expectedOffPeak, 5 * std::sqrt(expectedOffPeak));

    // Channel 3 only has dark counts.
    const double starts = kLightPairCps + kLightBackgroundCps;
    const double darkShare = 1 - std::exp(-kLightBackgroundCps * windowS);
    const auto background = points(Json{{"cmd", "fetch_startstop_processdata"}, {"start_chan", 1}, {"stop_chan", 3}});
    double backgroundTotal = 0;
    for (const DecodedPoint& p : background) backgroundTotal += p.y;
    EXPECT_NEAR(backgroundTotal, starts * darkShare, 5 * std::sqrt(starts * darkShare));

    const auto average = points(Json{{"cmd", "fetch_startstop_average_processdata"}, {"start_chan", 1}});
    ASSERT_EQ(average.size(), pairHistogram.size());
    for (std::size_t i = 0; i < average.size(); ++i) {
        EXPECT_DOUBLE_EQ(average[i].y, (pairHistogram[i].y + background[i].y) / 2);
    }

    // Dual stops: both stops within the window, mostly a pair's partner and a dark count.
    const double expectedPairs = kLightPairCps * darkShare;
    const auto pairs = points(Json{{"cmd", "fetch_startstop_dualstops_rawdata"}, {"start_chan", 1}});
    EXPECT_NEAR(static_cast<double>(pairs.size()), expectedPairs, 5 * std::sqrt(expectedPairs) + 1);
    std::size_t atDelay = 0;
    for (const DecodedPoint& p : pairs) {
        EXPECT_GE(p.y, 0);
        EXPECT_LT(p.y, 1e6);
        if (std::fabs(p.x - kPairDelayPs) <= 5 * kPairJitterPs) ++atDelay;
    }
    EXPECT_GE(atDelay * 10, pairs.size() * 9);
    EXPECT_TRUE(points(Json{{"cmd", "fetch_startstop_dualstops_rawdata"}, {"start_chan", 1}}).empty());
}

}  // namespace
}  // namespace veltrano::sim
