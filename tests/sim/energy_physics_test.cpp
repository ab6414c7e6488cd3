// The pulse analyses against the signal model, on a hand-moved clock with a
// fixed seed: pulse widths, the photopeak and continuum of the energy spectra,
// coincidence gating by energy windows, and the A/D samples' pulse shape.
// Bounds are five standard deviations of the estimates.
#include <cmath>
#include <numeric>

#include "ad_pair_signal.h"
#include "dispatcher_fixture.h"
#include "sim/model/sources/adc_pulse.h"

namespace veltrano::sim {
namespace {

struct Moments {
    double n = 0;
    double mean = 0;
    double sd = 0;
};

// The narrowest bin of a widening histogram (the bins that hold counts are listed).
double binWidth(const std::vector<DecodedPoint>& histogram) {
    double width = 1e300;
    for (std::size_t i = 1; i < histogram.size(); ++i) width = std::min(width, histogram[i].x - histogram[i - 1].x);
    return histogram.size() > 1 ? width : 1;
}

// Count, mean and standard deviation of the integer values a histogram counted
// in [lo, hi), each bin [x, x + w) standing at the middle of its integers.
Moments moments(const std::vector<DecodedPoint>& histogram, double lo, double hi) {
    const double w = binWidth(histogram);
    Moments m;
    double sum = 0;
    for (const DecodedPoint& p : histogram) {
        const double at = p.x + (w - 1) / 2;
        if (at < lo || at >= hi) continue;
        m.n += p.y;
        sum += p.y * at;
    }
    if (m.n == 0) return m;
    m.mean = sum / m.n;
    double squares = 0;
    for (const DecodedPoint& p : histogram) {
        const double at = p.x + (w - 1) / 2;
        if (at >= lo && at < hi) squares += p.y * (at - m.mean) * (at - m.mean);
    }
    m.sd = std::sqrt(squares / m.n);
    return m;
}

double total(const std::vector<DecodedPoint>& points) {
    return std::accumulate(points.begin(), points.end(), 0.0, [](double s, const DecodedPoint& p) { return s + p.y; });
}

double normalCdf(double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); }

// The continuum's share below eKev: density 1 + (E / edge)^2 on [0, edge].
double continuumCdf(double eKev, double edgeKev) {
    const double e = std::min(eKev, edgeKev);
    return (e + e * e * e / (3 * edgeKev * edgeKev)) / (edgeKev * 4 / 3);
}

Json esStart(int channel, int points, int scale) {
    return Json{{"cmd", "es_analysis"}, {"duration", 1},        {"ch", channel},    {"ad_integration_point", points},
                {"area_scale", scale},  {"enable_es_data", 0},  {"folder_path", ""}, {"file_name", ""}};
}

class EnergyPhysicsTest : public DispatcherFixture {};

TEST_F(EnergyPhysicsTest, TimeOverThresholdHistogramIsCentredOnTheConfiguredPulseWidth) {
    InstrumentConfig config = lightSignalConfig();
    config.signal.pulse.widthMeanPs = 12000;
    config.signal.pulse.widthSigmaPs = 500;
    build(config);
    ASSERT_EQ(call(Json{{"cmd", "tot_analysis"}, {"duration", 1}, {"ch", 2}, {"enable_tot_data", 0},
                        {"folder_path", ""}, {"file_name", ""}})["result"], 0);
    pass(1100);
    const auto histogram = points(Json{{"cmd", "fetch_processdata"}});
    const Moments m = moments(histogram, -1e12, 1e12);
    const double w = binWidth(histogram);
    // Channel 2: its dark counts and the pairs' second arm, each with one width.
    const double expected = kLightBackgroundCps + kLightPairCps;
    EXPECT_NEAR(m.n, expected, 5 * std::sqrt(expected));
    EXPECT_NEAR(m.mean, 12000, 5 * 500 / std::sqrt(m.n) + w / 2);
    EXPECT_NEAR(m.sd, std::sqrt(500.0 * 500 + w * w / 12), 5 * 500 / std::sqrt(2 * m.n));
}

TEST_F(EnergyPhysicsTest, EnergySpectrumShowsThePhotopeakAtItsEnergyWithItsResolutionOverAContinuum) {
    InstrumentConfig config = lightSignalConfig();
    config.signal.pulse.photopeakKev = 662;
    config.signal.pulse.photopeakSigmaKev = 20;
    config.signal.pulse.photopeakFraction = 0.35;
    config.signal.pulse.comptonEdgeKev = 477;
    build(config);
    // 1024 samples hold the whole pulse; 16 codes per keV scaled down by 16: codes in keV.
    ASSERT_EQ(call(esStart(1, 1024, 16))["result"], 0);
    pass(1100);
    const auto spectrum = points(Json{{"cmd", "fetch_processdata"}});
    ASSERT_EQ(binWidth(spectrum), 1);
    const double n = total(spectrum);
    EXPECT_NEAR(n, kLightBackgroundCps + kLightPairCps, 5 * std::sqrt(kLightBackgroundCps + kLightPairCps));

    const Moments peak = moments(spectrum, 662 - 100, 662 + 100);
    EXPECT_NEAR(peak.n / n, 0.35, 5 * std::sqrt(0.35 * 0.65 / n));
    // The samples' rounding loses about half a keV of the tail.
    EXPECT_NEAR(peak.mean, 662, 5 * 20 / std::sqrt(peak.n) + 1);
    EXPECT_NEAR(peak.sd, 20, 5 * 20 / std::sqrt(2 * peak.n));

    // The continuum ends at its edge and rises towards it.
    const Moments continuum = moments(spectrum, 0, 478);
    EXPECT_NEAR(continuum.n / n, 0.65, 5 * std::sqrt(0.35 * 0.65 / n));
    EXPECT_EQ(moments(spectrum, 480, 550).n, 0);
    const double top = moments(spectrum, 400, 478).n;
    const double bottom = moments(spectrum, 0, 78).n;
    const double ratio = (continuumCdf(478, 477) - continuumCdf(400, 477)) / continuumCdf(78, 477);
    EXPECT_NEAR(top / bottom, ratio, 5 * ratio * std::sqrt(1 / top + 1 / bottom));
}

TEST_F(EnergyPhysicsTest, PhotopeakLandsWhereTheIntegrationAndAreaScalePutIt) {
    InstrumentConfig config = lightSignalConfig();
    config.signal.pulse.photopeakKev = 1000;
    config.signal.pulse.photopeakSigmaKev = 30;
    build(config);
    ASSERT_EQ(call(esStart(3, 64, 1))["result"], 0);
    pass(1100);
    const auto spectrum = points(Json{{"cmd", "fetch_processdata"}});
    const double gain = kAdcAreaPerKev * pulseAreaFraction(64);
    const Moments peak = moments(spectrum, (1000 - 200) * gain, (1000 + 200) * gain);
    const double w = binWidth(spectrum);
    EXPECT_NEAR(peak.mean, 1000 * gain, 5 * 30 * gain / std::sqrt(peak.n) + w);
    EXPECT_NEAR(peak.sd, 30 * gain, 5 * 30 * gain / std::sqrt(2 * peak.n) + w);
}

TEST_F(EnergyPhysicsTest, GatedSpectraHoldOnlyEnergiesInsideTheirChannelsWindows) {
    build(adPairSignalConfig());
    // "ch1" 3 gated on the continuum below 400 keV, "ch2" 1 on the photopeak.
    ASSERT_EQ(call(Json{{"cmd", "conform_es_analysis"}, {"duration", 1}, {"ch1", 3}, {"ch2", 1},
                        {"ad_integration_point", 1024}, {"area_scale", 16}, {"coins_time_window", 10000},
                        {"avg_times", 1}, {"energy_window_min1", 0}, {"energy_window_max1", 400},
                        {"energy_window_min2", 600}, {"energy_window_max2", 720}})["result"], 0);
    pass(1100);
    const auto differences = points(Json{{"cmd", "fetch_processdata"}});
    const auto area1 = points(Json{{"cmd", "fetch_ces_area1_processdata"}});
    const auto area2 = points(Json{{"cmd", "fetch_ces_area2_processdata"}});
    // Area 1 is the lower channel, 1, with the photopeak window of "ch2".
    ASSERT_FALSE(area1.empty());
    for (const DecodedPoint& p : area1) {
        EXPECT_GE(p.x, 600);
        EXPECT_LE(p.x, 720);
    }
    ASSERT_FALSE(area2.empty());
    for (const DecodedPoint& p : area2) {
        EXPECT_GE(p.x, 0);
        EXPECT_LE(p.x, 400);
    }
    // One count per coincidence in each result.
    const double n = total(differences);
    EXPECT_EQ(total(area1), n);
    EXPECT_EQ(total(area2), n);
    // Pairs whose both energies pass: each arm draws its own energy.
    const double photopeakShare = 0.35 * (normalCdf((720.5 - 662) / 20) - normalCdf((599.5 - 662) / 20));
    const double continuumShare = 0.65 * continuumCdf(400.5, 477);
    const double expected = kLightPairCps * photopeakShare * continuumShare;
    EXPECT_NEAR(n, expected, 5 * std::sqrt(expected));
    // Time differences are "ch2" minus "ch1": channel 1 comes 1500 ps before channel 3.
    double nearDelay = 0;
    for (const DecodedPoint& p : differences) {
        if (std::fabs(p.x + kAdPairDelayPs) < 500) nearDelay += p.y;
    }
    EXPECT_GT(nearDelay, 0.99 * n);
}

TEST_F(EnergyPhysicsTest, AdSamplesTraceThePulseShapeAtMostSamplingNumAtATime) {
    build(adPairSignalConfig());
    constexpr int kWindow = 32;
    ASSERT_EQ(call(Json{{"cmd", "ad_analysis"}, {"duration", 1}, {"ch", 1}, {"ad_integration_point", kWindow},
                        {"sampling_num", 100}})["result"], 0);
    pass(50, 10);  // about 750 pulses, far more samples than ten fetches take
    std::vector<DecodedPoint> samples;
    for (int poll = 0; poll < 10; ++poll) {
        const auto batch = points(Json{{"cmd", "fetch_analysis_rawdata"}});
        ASSERT_EQ(batch.size(), 100u);
        samples.insert(samples.end(), batch.begin(), batch.end());
    }
    int checked = 0;
    for (std::size_t start = 0; start + kWindow <= samples.size(); start += kWindow) {
        if (start > 0) {
            EXPECT_GT(samples[start].x, samples[start - 1].x);  // windows never overlap
        }
        for (int k = 1; k < kWindow; ++k) ASSERT_EQ(samples[start + k].x, samples[start].x + k);
        EXPECT_EQ(samples[start].y, 0);  // the pulse starts at its trigger
        // Each sample is the pulse's shape times its energy's scale, to the rounding of the codes.
        const double scale = samples[start + 5].y / pulseShape(5);
        if (samples[start + 5].y < 50) continue;
        for (int k = 0; k < kWindow; ++k) {
            EXPECT_NEAR(samples[start + k].y, scale * pulseShape(k), 1.0) << "window at " << samples[start].x;
        }
        ++checked;
    }
    EXPECT_GT(checked, 10);
    // The rest comes in later fetches, 100 at most each, until none are left.
    pass(10, 10);
    std::size_t later = 0;
    for (std::vector<DecodedPoint> batch = points(Json{{"cmd", "fetch_analysis_rawdata"}}); !batch.empty();
         batch = points(Json{{"cmd", "fetch_analysis_rawdata"}})) {
        ASSERT_LE(batch.size(), 100u);
        ASSERT_GT(batch.front().x, samples.back().x);
        samples.insert(samples.end(), batch.begin(), batch.end());
        later += batch.size();
    }
    EXPECT_EQ(samples.size() % kWindow, 0u);
    EXPECT_GT(later, 0u);
}

}  // namespace
}  // namespace veltrano::sim
