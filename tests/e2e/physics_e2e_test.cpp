// The simulator read as a physicist reads an instrument: count rates,
// coincidences, time of flight, g2, dead time, the discriminator's efficiency
// curve, clock stability and a single-photon emitter, each measured through
// the library's exports and compared with the signal model the simulator
// documents. Seeds are fixed (the fixtures start every simulator with seed
// 1); every bound is derived from the counting statistics of the quantity
// (Poisson unless stated) and stated where it is used. Rates are in counts per second, times in ps unless named otherwise.

#include "analysis_csv.h"
#include "support/sim_session.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using veltest::Points;

// The detector model: a pulse of 0.5 V crosses a threshold of DAC volts with
// the logistic efficiency below (edge width 0.02 V), and electronic noise
// crosses it at 1 MHz x exp(-|DAC| / 0.01 V).
double efficiency(double dac) { return 1 / (1 + std::exp((std::fabs(dac) - 0.5) / 0.02)); }
double noiseRate(double dac) { return 1e6 * std::exp(-std::fabs(dac) / 0.01); }
constexpr double kDefaultDac = 0.1;

// A channel with background b and sources s (before the efficiency) counts
// b eff + noise + s eff.
double singleRate(double background, double sources, double dac = kDefaultDac) {
    return (background + sources) * efficiency(dac) + noiseRate(dac);
}

// Notes a check's measured and expected value in the test report (the XML
// output's properties), so a run documents how close the model came.
void report(const std::string& check, double measured, double expected) {
    std::ostringstream text;
    text << "measured " << measured << ", expected " << expected;
    ::testing::Test::RecordProperty(check, text.str());
}

// Five standard deviations of a Poisson count of `rate` over `seconds`, as a rate.
double fiveSigma(double rate, double seconds) { return 5 * std::sqrt(std::max(rate, 1.0) / seconds); }

// Events per channel of a memory-mode raw acquisition in format 0 (16-byte
// records: int64 tag, uint32 channel, uint32 sequence), with every channel's
// tags in order.
struct RawEvents {
    std::map<int, std::vector<int64_t>> tags;
    double rate(int channel, double seconds) const {
        const auto it = tags.find(channel);
        return it == tags.end() ? 0.0 : static_cast<double>(it->second.size()) / seconds;
    }
};

RawEvents acquireRaw(uint64_t handle, int seconds) {
    RawEvents events;
    EXPECT_EQ(ci_set_acq_dataformat(handle, 0), 0);
    EXPECT_EQ(ci_acq_rawdata(handle, 0, seconds, "", "", 0, 0), 0);
    const std::string stream = veltest::fetchRawStream(handle);
    EXPECT_EQ(ci_stop_acq(handle), 0);
    EXPECT_EQ(stream.size() % 16, 0u);
    for (size_t at = 0; at + 16 <= stream.size(); at += 16) {
        int64_t tag = 0;
        uint32_t channel = 0;
        std::memcpy(&tag, stream.data() + at, 8);
        std::memcpy(&channel, stream.data() + at + 8, 4);
        events.tags[static_cast<int>(channel)].push_back(tag);
    }
    return events;
}

// The rows "timestamp,channel_no,cps" of a recording file, by channel, in order.
std::map<int, std::vector<double>> readRecording(const fs::path& file) {
    std::map<int, std::vector<double>> rates;
    std::istringstream in(veltest::readTextFile(file));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        long long timestamp = 0;
        int channel = 0;
        long long cps = 0;
        char comma1 = 0;
        char comma2 = 0;
        std::istringstream row(line);
        row >> timestamp >> comma1 >> channel >> comma2 >> cps;
        EXPECT_TRUE(row && comma1 == ',' && comma2 == ',') << line;
        rates[channel].push_back(static_cast<double>(cps));
    }
    return rates;
}

// ---------------------------------------------------------------------------
// The default instrument: 1000/s of dark counts on each of 16 channels, a pair
// source of 20000/s on channels 1 and 2, a 100 kHz clock on channel 16; every
// threshold at 0.1 V.

class DefaultInstrumentPhysics : public veltest::SimSessionTest {
protected:
    static double modelRate(int channel) {
        if (channel == 1 || channel == 2) {
            return singleRate(1000, 20000);
        }
        // Each clock tick is a pulse like any other; the dark counts come on top.
        return channel == 16 ? singleRate(1000, 100000) : singleRate(1000, 0);
    }
};

// The same rate by three routes: the meter read right after linking (a full
// second already), a 2 s recording's rows (its first row included), and the
// events counted in a 2 s raw acquisition. Each is a Poisson count of the
// model rate: one second for a read or a row, two for the acquisition, so
// two routes differ by at most 5 sqrt(r (1 + 1/2)) (rows overlap, so their
// mean varies no more than one row). Coincidences are a subset of the same
// channel's events, so the coincidence rate stays below the single rate
// within five standard deviations of the difference of the two reads.
TEST_F(DefaultInstrumentPhysics, ThreeRoutesToARateAgreeFromTheFirstRead) {
    ASSERT_EQ(ci_set_coins_time_window(handle, 2000), 0);
    std::map<int, double> firstRead;
    for (int channel = 1; channel <= 16; ++channel) {
        firstRead[channel] = ci_get_single_cps(handle, channel);
        const double coincidences = ci_get_coins_cps(handle, channel);
        EXPECT_LE(coincidences, firstRead[channel] + 5 * std::sqrt(2 * firstRead[channel]) + 1)
            << "channel " << channel;
        EXPECT_NEAR(firstRead[channel], modelRate(channel), fiveSigma(modelRate(channel), 1)) << "channel " << channel;
        report("first_read_ch" + std::to_string(channel), firstRead[channel], modelRate(channel));
        report("coincidences_ch" + std::to_string(channel), coincidences, firstRead[channel]);
    }
    // The pairs (1500 ps apart, 50 ps jitter) lie inside the 2 ns window.
    EXPECT_NEAR(ci_get_coins_cps(handle, 1), 20000, fiveSigma(20000, 1) + 20);

    const fs::path folder = dir() / "rates";
    ASSERT_EQ(ci_output_single_cps(handle, 2, folder.string().c_str(), "single.csv"), 0);
    const RawEvents raw = acquireRaw(handle, 2);
    while (!fs::exists(folder / "single.csv")) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(ci_stop_singlecps_recording(handle), 0);
    const auto rows = readRecording(folder / "single.csv");

    for (int channel = 1; channel <= 16; ++channel) {
        const double model = modelRate(channel);
        const double routesApart = 5 * std::sqrt(model * 1.5) + 1;
        const double rawRate = raw.rate(channel, 2);
        EXPECT_NEAR(rawRate, model, fiveSigma(model, 2)) << "raw, channel " << channel;
        EXPECT_NEAR(firstRead[channel], rawRate, routesApart) << "first read against raw, channel " << channel;
        const auto& samples = rows.at(channel);
        ASSERT_GE(samples.size(), 15u) << "channel " << channel;
        EXPECT_NEAR(samples.front(), rawRate, routesApart) << "first recorded row against raw, channel " << channel;
        double sum = 0;
        for (double s : samples) {
            sum += s;
        }
        EXPECT_NEAR(sum / static_cast<double>(samples.size()), rawRate, routesApart)
            << "mean recorded row against raw, channel " << channel;
        report("raw_ch" + std::to_string(channel), rawRate, model);
        report("first_row_ch" + std::to_string(channel), samples.front(), rawRate);
    }
}

// ---------------------------------------------------------------------------
// A pair source of 5000/s on channels 1 and 2 (channel 2 1500 ps later, 50 ps
// jitter) over 100 kHz of dark counts on both, 1000/s on channels 3 and 4, no
// clock. Channel 2's threshold sits at the pulse amplitude (0.5 V), so it sees
// half of its pulses and no noise.

constexpr double kPairRate = 5000;
constexpr double kPairDelayPs = 1500;
constexpr double kPairJitterPs = 50;
constexpr double kPairBackground = 100000;
constexpr double kChannel2Dac = 0.5;

class PairSourcePhysics : public veltest::SimSessionTest {
protected:
    PairSourcePhysics()
        : SimSessionTest(
              "[instrument]\nchannels = 4\n"
              "[channel1]\nbackground_rate_hz = 100000\n[channel2]\nbackground_rate_hz = 100000\n"
              "[pair1]\nchannel_a = 1\nchannel_b = 2\nrate_hz = 5000\ndelay_ps = 1500\njitter_ps = 50\n"
              "[clock]\nenabled = false\n") {}
    void SetUp() override {
        SimSessionTest::SetUp();
        if (!IsSkipped() && !HasFatalFailure()) {
            ASSERT_EQ(ci_set_dac(handle, 2, kChannel2Dac), 0);
        }
    }
    static double rate1() { return singleRate(kPairBackground, kPairRate); }
    static double rate2() { return singleRate(kPairBackground, kPairRate, kChannel2Dac); }
    static double rate3() { return singleRate(1000, 0); }
    // Pairs seen on both channels.
    static double pairsSeen() { return kPairRate * efficiency(kDefaultDac) * efficiency(kChannel2Dac); }
};

// Channel 1's coincidence rate with a window w: the pairs seen on both
// channels, plus channel 1's other events that find an event of channel 2, 3
// or 4 within +-w by chance: (r1 - pairs) (1 - exp(-2 w (r2 + r3 + r4))), which
// is r1 r2 2w for two channels and a small window. Three reads a second apart
// count three independent seconds: the mean is within 5 sqrt(rate / 3). The
// accidentals (about 560/s) are 17 of those standard deviations, so the check
// sees them.
TEST_F(PairSourcePhysics, CoincidenceRateIsThePairsSeenPlusTheAccidentals) {
    constexpr double kWindowPs = 50000;
    ASSERT_EQ(ci_set_coins_time_window(handle, static_cast<int>(kWindowPs)), 0);
    const double others = rate2() + 2 * rate3();
    const double expected = pairsSeen() + (rate1() - pairsSeen()) * (1 - std::exp(-2 * kWindowPs * 1e-12 * others));
    double sum = 0;
    for (int read = 0; read < 3; ++read) {
        if (read > 0) {
            std::this_thread::sleep_for(1050ms);
        }
        const double coincidences = ci_get_coins_cps(handle, 1);
        const double singles = ci_get_single_cps(handle, 1);
        EXPECT_LE(coincidences, singles + 5 * std::sqrt(2 * singles)) << "read " << read;
        EXPECT_NEAR(singles, rate1(), fiveSigma(rate1(), 1)) << "read " << read;
        EXPECT_NEAR(ci_get_single_cps(handle, 2), rate2(), fiveSigma(rate2(), 1)) << "read " << read;
        sum += coincidences;
    }
    report("coincidence_rate_ch1", sum / 3, expected);
    EXPECT_NEAR(sum / 3, expected, fiveSigma(expected, 3))
        << "pairs seen " << pairsSeen() << ", accidentals " << expected - pairsSeen();
}

// A 2 s time-of-flight run from channel 1 to 2 within +-10 ns. Its histogram
// holds the pairs seen on both channels plus every other start-stop
// combination within the window, r1 r2 2W (about 220/s): a Poisson count over
// 2 s. Within 5 jitters of the delay the accidentals add r1 r2 x 500 ps (6/s);
// there the histogram's mean is the delay within 5 jitter / sqrt(N) (plus half
// a picosecond of tag rounding) and its standard deviation the jitter within
// 5 jitter / sqrt(2N) (plus the bins' and the rounding's own spread, under 2
// ps). The g2 curve of the same run, in 100 ps bins, normalises each bin by
// the accidentals r1 r2 100 ps T: away from the peak it is 1 within
// 5 / sqrt(accidentals per bin x bins); its peak bin, centred on the delay,
// holds erf(50 / (sqrt(2) 50)) = 68.27 % of the pairs, so
// g2 = 1 + 0.6827 pairs / (r1 r2 100 ps), within 5 / sqrt(its count).
TEST_F(PairSourcePhysics, TimeOfFlightAndG2ShowThePairsAtTheirDelayWithTheirJitter) {
    constexpr double kWindowPs = 10000;
    constexpr double kSeconds = 2;
    constexpr double kBinPs = 100;
    ASSERT_EQ(ci_tof_analysis(handle, static_cast<int>(kSeconds), 1, 2, static_cast<int>(kWindowPs), 0, 1, nullptr,
                              nullptr),
              0);
    ASSERT_EQ(ci_set_cross_correlation_config(handle, 0, static_cast<int>(kBinPs), 0, 0), 0);
    std::this_thread::sleep_for(2300ms);  // the run has ended: its results no longer change
    int count = 0;
    const Points histogram = veltest::takePoints(ci_fetch_tof_processdata(handle, &count), count);
    const Points g2 = veltest::takePoints(ci_fetch_cross_correlation_data(handle, &count), count);
    EXPECT_EQ(ci_stop_tof_analysis(handle), 0);
    ASSERT_FALSE(histogram.empty());
    ASSERT_FALSE(g2.empty());

    const double accidentalsPerPs = rate1() * rate2() * 1e-12;
    const double expectedTotal = pairsSeen() + accidentalsPerPs * 2 * kWindowPs;
    EXPECT_NEAR(veltest::sumOfY(histogram) / kSeconds, expectedTotal, fiveSigma(expectedTotal, kSeconds));
    report("tof_counts_per_s", veltest::sumOfY(histogram) / kSeconds, expectedTotal);

    Points peak;
    for (const auto& point : histogram) {
        if (std::fabs(point.first - kPairDelayPs) < 5 * kPairJitterPs) {
            peak.push_back(point);
        }
    }
    const double peakCounts = veltest::sumOfY(peak);
    const double expectedPeak = pairsSeen() + accidentalsPerPs * 10 * kPairJitterPs;
    EXPECT_NEAR(peakCounts / kSeconds, expectedPeak, fiveSigma(expectedPeak, kSeconds));
    const double mean = veltest::weightedMeanOfX(peak);
    double variance = 0;
    for (const auto& [x, y] : peak) {
        variance += y * (x - mean) * (x - mean);
    }
    const double spread = std::sqrt(variance / peakCounts);
    report("tof_peak_counts_per_s", peakCounts / kSeconds, expectedPeak);
    report("tof_peak_mean_ps", mean, kPairDelayPs);
    report("tof_peak_sd_ps", spread, kPairJitterPs);
    EXPECT_NEAR(mean, kPairDelayPs, 5 * kPairJitterPs / std::sqrt(peakCounts) + 0.5);
    EXPECT_NEAR(spread, kPairJitterPs, 5 * kPairJitterPs / std::sqrt(2 * peakCounts) + 2);

    const double accidentalsPerBin = accidentalsPerPs * kBinPs * kSeconds;
    double baseline = 0;
    int baselineBins = 0;
    for (const auto& [tau, value] : g2) {
        if (std::fabs(tau - kPairDelayPs) > 10 * kPairJitterPs) {
            baseline += value;
            ++baselineBins;
        }
    }
    ASSERT_GT(baselineBins, 100);
    report("g2_baseline", baseline / baselineBins, 1);
    EXPECT_NEAR(baseline / baselineBins, 1, 5 / std::sqrt(accidentalsPerBin * baselineBins));
    const auto [peakTau, peakG2] = veltest::peakOf(g2);
    EXPECT_NEAR(peakTau, kPairDelayPs, kBinPs / 2);
    const double peakShare = std::erf(kBinPs / 2 / (std::sqrt(2.0) * kPairJitterPs));
    const double expectedG2 = 1 + peakShare * pairsSeen() / (accidentalsPerPs * kBinPs);
    report("g2_peak", peakG2, expectedG2);
    EXPECT_NEAR(peakG2, expectedG2, 5 * expectedG2 / std::sqrt(peakShare * pairsSeen() * kSeconds));
}

// ---------------------------------------------------------------------------
// Eight channels of 20000/s dark counts each, nothing else.

constexpr double kDarkRate = 20000;

class DiscriminatorPhysics : public veltest::SimSessionTest {
protected:
    DiscriminatorPhysics()
        : SimSessionTest(
              "[instrument]\nchannels = 8\n[background]\nrate_hz = 20000\n"
              "[pairs]\ncount = 0\n[clock]\nenabled = false\n") {}
};

// A non-paralysable dead time tau turns a Poisson rate r into r / (1 + r tau),
// below 1 / tau, and no two accepted events lie closer than tau. A dead-time
// limited count is more regular than a Poisson one, so the Poisson bound is
// conservative. The threshold scan sets channels 2..8 to thresholds across
// noise and the pulses' edge and reads each rate once: dark eff(DAC) + noise,
// within 5 sqrt(rate) (one second of counts).
TEST_F(DiscriminatorPhysics, DeadTimeCapsTheRateAndTheThresholdScanFollowsTheEfficiencyCurve) {
    constexpr int kDeadTimePs = 50000000;  // 50 us
    ASSERT_EQ(ci_set_dead_time(handle, 1, kDeadTimePs), 0);
    const double tau = kDeadTimePs * 1e-12;
    const double offered = singleRate(kDarkRate, 0);
    const double limited = offered / (1 + offered * tau);

    const std::vector<double> thresholds{0.05, 0.1, 0.45, 0.48, 0.5, 0.52, 0.55};
    for (size_t i = 0; i < thresholds.size(); ++i) {
        ASSERT_EQ(ci_set_dac(handle, static_cast<int>(i) + 2, thresholds[i]), 0);
    }
    std::this_thread::sleep_for(1100ms);  // a second of signal under the new settings
    const double deadTimeRate = ci_get_single_cps(handle, 1);
    report("dead_time_rate", deadTimeRate, limited);
    EXPECT_LT(deadTimeRate, 1 / tau);
    EXPECT_NEAR(deadTimeRate, limited, fiveSigma(limited, 1));
    for (size_t i = 0; i < thresholds.size(); ++i) {
        const double expected = singleRate(kDarkRate, 0, thresholds[i]);
        const double measured = ci_get_single_cps(handle, static_cast<int>(i) + 2);
        EXPECT_NEAR(measured, expected, fiveSigma(expected, 1)) << "threshold " << thresholds[i] << " V";
        report("threshold_" + std::to_string(thresholds[i]), measured, expected);
    }

    const RawEvents raw = acquireRaw(handle, 1);
    const auto& tags = raw.tags.at(1);
    EXPECT_NEAR(static_cast<double>(tags.size()), limited, fiveSigma(limited, 1));
    int64_t closest = INT64_MAX;
    for (size_t i = 1; i < tags.size(); ++i) {
        closest = std::min(closest, tags[i] - tags[i - 1]);
    }
    EXPECT_GE(closest, kDeadTimePs);
    report("dead_time_raw_rate", static_cast<double>(tags.size()), limited);
    report("dead_time_closest_ps", static_cast<double>(closest), kDeadTimePs);
}

// ---------------------------------------------------------------------------
// The clock alone: 100 kHz with 5 ps of white phase noise per tag (plus the
// 1 / sqrt(12) ps of whole-picosecond tags) and 1e-7 of white frequency noise
// per period; dark counts (100/s) end no cycle.

class ClockPhysics : public veltest::SimSessionTest {
protected:
    ClockPhysics()
        : SimSessionTest(
              "[instrument]\nchannels = 4\n[background]\nrate_hz = 100\n[pairs]\ncount = 0\n"
              "[clock]\nchannel = 4\nfrequency_hz = 100000\nphase_noise_ps = 5\nfrequency_noise = 1e-7\n") {}
};

// The two noises are independent, so their variances add. With tau = m T0:
// ADEV^2 = 3 sx^2 / tau^2 + fn^2 T0 / tau and, for m >= 10,
// MDEV^2 = 3 sx^2 T0 / tau^3 + fn^2 T0 / (2 tau). A 4 s run holds 400000
// periods: at m = 100 the overlapping estimators have several thousand
// degrees of freedom, a relative scatter near 2 %, well inside the 10 % asked.
TEST_F(ClockPhysics, AllanAndModifiedAllanDeviationsMatchTheNoiseModel) {
    constexpr double kPeriodS = 1e-5;
    const double phaseNoiseS = std::sqrt(5.0 * 5.0 + 1.0 / 12) * 1e-12;
    constexpr double kFrequencyNoise = 1e-7;
    ASSERT_EQ(ci_period_analysis(handle, 4, 3, 1, 0, 0, 1 / kPeriodS, 50, 0, nullptr, nullptr), 0);
    std::this_thread::sleep_for(4300ms);  // the run has ended
    int count = 0;
    const Points adev = veltest::takePoints(ci_fetch_period_stability_metric(handle, 0, &count), count);
    const Points mdev = veltest::takePoints(ci_fetch_period_stability_metric(handle, 1, &count), count);
    EXPECT_EQ(ci_stop_period_analysis(handle), 0);
    ASSERT_EQ(adev.size(), 3u);
    ASSERT_EQ(mdev.size(), 3u);
    for (size_t i = 0; i < adev.size(); ++i) {
        const double tau = adev[i].first;
        const double expected = std::sqrt(3 * phaseNoiseS * phaseNoiseS / (tau * tau) +
                                          kFrequencyNoise * kFrequencyNoise * kPeriodS / tau);
        EXPECT_NEAR(adev[i].second, expected, 0.1 * expected) << "ADEV at tau " << tau << " s";
        report("adev_" + std::to_string(tau), adev[i].second, expected);
    }
    for (size_t i = 1; i < mdev.size(); ++i) {
        const double tau = mdev[i].first;
        const double expected = std::sqrt(3 * phaseNoiseS * phaseNoiseS * kPeriodS / (tau * tau * tau) +
                                          kFrequencyNoise * kFrequencyNoise * kPeriodS / (2 * tau));
        EXPECT_NEAR(mdev[i].second, expected, 0.1 * expected) << "MDEV at tau " << tau << " s";
        report("mdev_" + std::to_string(tau), mdev[i].second, expected);
    }
}

// ---------------------------------------------------------------------------
// A single-photon emitter on channel 1: excitation at 2e5/s, lifetime 50 ns,
// so S = 1 / (1 / 2e5 s + 50 ns) = 199000/s photons over 1045/s of dark
// counts (1000 + noise); no other source.

class EmitterPhysics : public veltest::SimSessionTest {
protected:
    EmitterPhysics()
        : SimSessionTest(
              "[instrument]\nchannels = 4\n[pairs]\ncount = 0\n[clock]\nenabled = false\n"
              "[emitter]\nchannel = 1\nexcitation_rate_hz = 200000\nlifetime_ps = 50000\n") {}
};

// g2(tau) = 1 - rho^2 exp(-|tau| gamma), gamma = excitation + 1 / lifetime,
// rho = S / (S + dark). Each 10 ns bin holds about N0 = (S + dark)^2 x 10 ns
// x 3 s = 1190 pairs at g2 = 1, so a bin's g2 is within 5 sqrt(g2 / N0); the
// bins next to zero delay average the model over their width. The recovery
// time is the area of 1 - g2 over +-250 ns divided by 2 rho^2, which is
// (1 - exp(-250 ns gamma)) / gamma, 1 / gamma but for 0.6 % (within the
// area's error, 5 sqrt(sum of the bins' variances) x bin width / (2 rho^2)).
TEST_F(EmitterPhysics, AntibunchingDipAndRecoveryTimeMatchTheEmitterModel) {
    constexpr double kExcitation = 2e5;
    constexpr double kLifetimeS = 50e-9;
    constexpr double kSeconds = 3;
    constexpr double kBinS = 10e-9;
    const double signal = 1 / (1 / kExcitation + kLifetimeS);
    const double total = signal + singleRate(1000, 0);
    const double rho2 = (signal / total) * (signal / total);
    const double gamma = kExcitation + 1 / kLifetimeS;
    ASSERT_EQ(ci_set_dead_time(handle, 1, 0), 0);  // the default 10 ns would empty the shortest delays
    ASSERT_EQ(ci_autocorrelation_analysis(handle, static_cast<int>(kSeconds), 1, -250e-9, 250e-9, 50, 0, nullptr,
                                          nullptr),
              0);
    std::this_thread::sleep_for(3300ms);
    int count = 0;
    const Points curve = veltest::takePoints(ci_fetch_autocorrelation_data(handle, &count), count);
    EXPECT_EQ(ci_stop_autocorrelation_analysis(handle), 0);
    ASSERT_EQ(curve.size(), 50u);

    const double pairsPerBin = total * total * kBinS * kSeconds;
    double area = 0;
    double areaVariance = 0;
    for (const auto& [tau, g2] : curve) {
        const double sigma = std::sqrt(std::max(g2, 0.01) / pairsPerBin);
        area += (1 - g2) * kBinS;
        areaVariance += sigma * sigma * kBinS * kBinS;
        if (std::fabs(tau) < kBinS) {
            // The mean of exp(-|tau| gamma) over a bin from 0 to 10 ns.
            const double x = gamma * kBinS;
            const double expected = 1 - rho2 * (1 - std::exp(-x)) / x;
            EXPECT_NEAR(g2, expected, 5 * sigma) << "g2 at " << tau * 1e9 << " ns";
            report("emitter_g2_at_" + std::to_string(tau * 1e9) + "_ns", g2, expected);
        }
    }
    const double recovery = area / (2 * rho2);
    report("emitter_recovery_s", recovery, (1 - std::exp(-250e-9 * gamma)) / gamma);
    EXPECT_NEAR(recovery, (1 - std::exp(-250e-9 * gamma)) / gamma, 5 * std::sqrt(areaVariance) / (2 * rho2)) << "recovery time in s";
}

// ---------------------------------------------------------------------------
// Replay: 2 s of the default instrument recorded locally into 1 MiB volumes,
// then played back by a second simulator with --replay-loop. A 2 s
// time-of-flight run there covers each recorded event exactly once (the loop
// repeats every 2 s), so its histogram equals the one computed here from the
// files, but for pairs that straddle the run's start (expected 3e-5 of them at
// 20000 pairs/s within 1.5 ns): at most 4 counts apart in all.

using ReplayPhysics = veltest::SimSessionTest;

TEST_F(ReplayPhysics, TimeOfFlightOfAReplayEqualsTheOneComputedFromTheRecordedFile) {
    constexpr int kWindowPs = 10000;
    const fs::path folder = dir() / "raw";
    ASSERT_EQ(ci_set_acq_dataformat(handle, 0), 0);
    ASSERT_EQ(ci_acq_rawdata_local(handle, 0, 2, folder.string().c_str(), "run.bin", 1, 0), 0);
    std::this_thread::sleep_for(2000ms);
    bool processing = true;
    while (processing && ci_is_rawdata_processing(handle, &processing) == 0) {
        std::this_thread::sleep_for(100ms);
    }
    std::this_thread::sleep_for(300ms);  // the library's thread takes the last bytes
    ASSERT_EQ(ci_stop_acq(handle), 0);

    std::string stream;
    for (int volume = 0;; ++volume) {
        const fs::path file = folder / (volume == 0 ? "run.bin" : "run_" + std::to_string(volume) + ".bin");
        if (!fs::exists(file)) {
            break;
        }
        stream += veltest::readTextFile(file);
    }
    ASSERT_EQ(stream.size() % 16, 0u);
    std::vector<int64_t> starts;
    std::vector<int64_t> stops;
    for (size_t at = 0; at + 16 <= stream.size(); at += 16) {
        int64_t tag = 0;
        uint32_t channel = 0;
        std::memcpy(&tag, stream.data() + at, 8);
        std::memcpy(&channel, stream.data() + at + 8, 4);
        (channel == 1 ? starts : stops).push_back(tag);
        if (channel != 1 && channel != 2) {
            stops.pop_back();
        }
    }
    ASSERT_GT(starts.size(), 30000u);

    const veltest::SimService replay("", {"--replay", (folder / "run.bin").string(), "--replay-loop"});
    const uint64_t session = replay.open();
    ASSERT_NE(session, 0u);
    ASSERT_EQ(ci_tof_analysis(session, 2, 1, 2, kWindowPs, 0, 1, nullptr, nullptr), 0);
    std::this_thread::sleep_for(2300ms);
    int count = 0;
    const Points simulated = veltest::takePoints(ci_fetch_tof_processdata(session, &count), count);
    EXPECT_EQ(ci_stop_tof_analysis(session), 0);
    ci_destroy(session);
    ASSERT_GT(simulated.size(), 2u);

    // Every start-stop combination within the window, binned as the
    // histogram is: bins of width w centred on multiples of w.
    const auto width = static_cast<int64_t>(simulated[1].first - simulated[0].first);
    std::map<int64_t, double> computed;
    size_t first = 0;
    for (int64_t start : starts) {
        while (first < stops.size() && stops[first] < start - kWindowPs) {
            ++first;
        }
        for (size_t i = first; i < stops.size() && stops[i] <= start + kWindowPs; ++i) {
            const int64_t d = stops[i] - start;
            const int64_t twice = 2 * d + width;
            const int64_t bin = twice >= 0 ? twice / (2 * width) : -((-twice + 2 * width - 1) / (2 * width));
            computed[bin * width] += 1;
        }
    }
    double apart = 0;
    double total = 0;
    for (const auto& [x, y] : simulated) {
        const auto it = computed.find(static_cast<int64_t>(x));
        apart += std::fabs(y - (it == computed.end() ? 0.0 : it->second));
        total += y;
    }
    EXPECT_GT(total, 30000);
    EXPECT_LE(apart, 4) << "of " << total << " counts";
    report("replay_tof_counts_apart", apart, 0);
    report("replay_tof_counts", total, total);
}

}  // namespace
