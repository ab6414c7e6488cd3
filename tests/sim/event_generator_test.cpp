// Statistical checks of the signal model against its configuration. Every run
// uses a fixed seed; bounds are five standard deviations of the estimate.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numeric>
#include <vector>

#include "sim/model/sources/event_generator.h"

namespace veltrano::sim {
namespace {

constexpr std::int64_t kSecondPs = 1'000'000'000'000;

// A quiet instrument: no noise, no pairs, no clock, no dead time.
SignalConfig quietConfig(int channels) {
    SignalConfig c;
    c.channelCount = channels;
    c.seed = 42;
    c.backgroundRateHz.assign(channels, 0.0);
    c.detector.noiseRateHz = 0;
    c.pairs.clear();
    c.clock.enabled = false;
    return c;
}

std::vector<ChannelSettings> channelsWithoutDeadTime(int channels) {
    std::vector<ChannelSettings> s(channels, ChannelSettings::defaults());
    for (auto& ch : s) ch.set(ChannelSetting::DeadTime, 0);
    return s;
}

std::vector<Event> run(EventGenerator& g, std::int64_t untilPs, const std::vector<ChannelSettings>& channels) {
    std::vector<Event> out;
    g.generateUntil(untilPs, channels, out);
    return out;
}

std::map<int, long> countsPerChannel(const std::vector<Event>& events) {
    std::map<int, long> counts;
    for (const Event& e : events) ++counts[e.channel];
    return counts;
}

// Differences channel_b - channel_a of each a-event and the first b-event within `windowPs` after it.
std::vector<double> pairDelays(const std::vector<Event>& events, int a, int b, std::int64_t windowPs) {
    std::vector<double> delays;
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (events[i].channel != a) continue;
        for (std::size_t j = i + 1; j < events.size() && events[j].timePs - events[i].timePs <= windowPs; ++j) {
            if (events[j].channel == b) {
                delays.push_back(static_cast<double>(events[j].timePs - events[i].timePs));
                break;
            }
        }
    }
    return delays;
}

double mean(const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0) / v.size(); }

double stddev(const std::vector<double>& v) {
    const double m = mean(v);
    double s = 0;
    for (double x : v) s += (x - m) * (x - m);
    return std::sqrt(s / (v.size() - 1));
}

TEST(EventGenerator, BackgroundRateFollowsConfiguredDarkRatePlusThresholdNoise) {
    SignalConfig c = quietConfig(4);
    c.backgroundRateHz.assign(4, 20000.0);
    c.detector.noiseRateHz = 1e6;
    c.detector.noiseScaleV = 0.01;
    EventGenerator g(c);
    const auto counts = countsPerChannel(run(g, 5 * kSecondPs, channelsWithoutDeadTime(4)));

    // Default threshold 0.1 V, far below the 0.5 V pulses: every dark pulse is
    // seen, and noise adds 1e6 * exp(-0.1 / 0.01) per second.
    const double expected = 5 * (20000.0 + 1e6 * std::exp(-10.0));
    for (int ch = 1; ch <= 4; ++ch) {
        EXPECT_NEAR(counts.at(ch), expected, 5 * std::sqrt(expected)) << "channel " << ch;
    }
}

TEST(EventGenerator, ThresholdAbovePulseAmplitudeSilencesTheChannel) {
    SignalConfig c = quietConfig(2);
    c.backgroundRateHz.assign(2, 20000.0);
    EventGenerator g(c);
    auto channels = channelsWithoutDeadTime(2);
    channels[1].dacV = -0.8;  // by magnitude, well above the 0.5 V pulse amplitude
    auto counts = countsPerChannel(run(g, kSecondPs, channels));
    EXPECT_GT(counts[1], 19000);
    EXPECT_LT(counts[2], 5);
}

TEST(EventGenerator, DisabledChannelStaysSilentUntilEnabledAgain) {
    SignalConfig c = quietConfig(2);
    c.backgroundRateHz.assign(2, 10000.0);
    c.pairs = {PairSourceConfig{1, 2, 10000, 1000, 10}};
    EventGenerator g(c);
    auto channels = channelsWithoutDeadTime(2);
    channels[0].enabled = false;
    const auto off = countsPerChannel(run(g, kSecondPs / 10, channels));
    EXPECT_EQ(off.count(1), 0u);
    EXPECT_GT(off.at(2), 1500);

    channels[0].enabled = true;
    const auto on = countsPerChannel(run(g, kSecondPs / 5, channels));
    EXPECT_GT(on.at(1), 1500);
}

TEST(EventGenerator, DeadTimeSpacesAcceptedEventsAndLowersTheRateAsNonParalyzable) {
    SignalConfig c = quietConfig(1);
    c.backgroundRateHz = {1e6};
    EventGenerator g(c);
    auto channels = channelsWithoutDeadTime(1);
    const std::int64_t deadPs = 500'000;
    channels[0].set(ChannelSetting::DeadTime, static_cast<std::int32_t>(deadPs));
    const auto events = run(g, kSecondPs / 2, channels);

    for (std::size_t i = 1; i < events.size(); ++i) {
        ASSERT_GE(events[i].timePs - events[i - 1].timePs, deadPs);
    }
    // Observed rate r / (1 + r * tau) = 1e6 / 1.5.
    const double expected = 0.5 * 1e6 / 1.5;
    EXPECT_NEAR(static_cast<double>(events.size()), expected, 5 * std::sqrt(expected));
}

TEST(EventGenerator, PairSourceArrivesAtItsDelayWithItsJitterAndRate) {
    SignalConfig c = quietConfig(2);
    c.pairs = {PairSourceConfig{1, 2, 50000, 2500, 80}};
    EventGenerator g(c);
    const auto events = run(g, 2 * kSecondPs, channelsWithoutDeadTime(2));
    const auto delays = pairDelays(events, 1, 2, 10'000);

    const double pairs = 2 * 50000.0;
    EXPECT_NEAR(static_cast<double>(delays.size()), pairs, 5 * std::sqrt(pairs));
    EXPECT_NEAR(mean(delays), 2500.0, 5 * 80.0 / std::sqrt(pairs));
    EXPECT_NEAR(stddev(delays), 80.0, 5 * 80.0 / std::sqrt(2 * pairs) + 0.5);
}

TEST(EventGenerator, InterDelayAndFallingEdgeShiftTheChannelsTags) {
    SignalConfig c = quietConfig(2);
    c.pairs = {PairSourceConfig{1, 2, 20000, 2500, 20}};
    c.pulse.widthMeanPs = 6000;
    c.pulse.widthSigmaPs = 100;
    auto channels = channelsWithoutDeadTime(2);

    channels[1].set(ChannelSetting::InterDelay, 1000);
    EventGenerator delayed(c);
    EXPECT_NEAR(mean(pairDelays(run(delayed, kSecondPs / 2, channels), 1, 2, 20'000)), 3500.0, 2.0);

    channels[1].set(ChannelSetting::EdgeType, 1);
    EventGenerator falling(c);
    EXPECT_NEAR(mean(pairDelays(run(falling, kSecondPs / 2, channels), 1, 2, 20'000)), 9500.0, 5.0);
}

TEST(EventGenerator, ClockPeriodsShowWhitePhaseAndWhiteFrequencyNoise) {
    SignalConfig c = quietConfig(1);
    c.clock = ClockSourceConfig{true, 1, 1e6, 10.0, 1e-5};
    EventGenerator g(c);
    const auto events = run(g, kSecondPs / 5, channelsWithoutDeadTime(1));
    ASSERT_GT(events.size(), 1000u);

    std::vector<double> periods;
    for (std::size_t i = 1; i < events.size(); ++i) {
        periods.push_back(static_cast<double>(events[i].timePs - events[i - 1].timePs));
    }
    // Period k = T0 (1 + y_k) + x_k - x_{k-1}: variance (T0 sigmaY)^2 + 2 sigmaX^2 = 100 + 200,
    // and neighbouring periods share a phase sample: lag-1 correlation -sigmaX^2 / 300.
    EXPECT_NEAR(mean(periods), 1e6, 0.5);
    EXPECT_NEAR(stddev(periods), std::sqrt(300.0), 0.5);
    const double m = mean(periods);
    double lag1 = 0, var = 0;
    for (std::size_t i = 0; i + 1 < periods.size(); ++i) lag1 += (periods[i] - m) * (periods[i + 1] - m);
    for (double p : periods) var += (p - m) * (p - m);
    EXPECT_NEAR(lag1 / var, -100.0 / 300.0, 0.02);
}

TEST(EventGenerator, PulseWidthsAndEnergiesFollowThePulseConfiguration) {
    SignalConfig c = quietConfig(1);
    c.backgroundRateHz = {100000};
    EventGenerator g(c);
    const auto events = run(g, kSecondPs / 2, channelsWithoutDeadTime(1));
    std::vector<double> widths;
    long inPeak = 0;
    for (const Event& e : events) {
        widths.push_back(e.widthPs);
        EXPECT_GE(e.energyKev, 0.0f);
        if (std::fabs(e.energyKev - c.pulse.photopeakKev) < 4 * c.pulse.photopeakSigmaKev) ++inPeak;
    }
    const double n = static_cast<double>(events.size());
    EXPECT_NEAR(mean(widths), c.pulse.widthMeanPs, 5 * c.pulse.widthSigmaPs / std::sqrt(n));
    EXPECT_NEAR(stddev(widths), c.pulse.widthSigmaPs, 0.02 * c.pulse.widthSigmaPs);
    const double p = c.pulse.photopeakFraction;
    EXPECT_NEAR(inPeak / n, p, 5 * std::sqrt(p * (1 - p) / n));
}

TEST(EventGenerator, OutputDoesNotDependOnHowTimeIsSliced) {
    SignalConfig c;  // every default source: background, noise, a pair, the clock
    c.seed = 7;
    const auto channels = std::vector<ChannelSettings>(16, ChannelSettings::defaults());
    EventGenerator whole(c);
    const auto reference = run(whole, kSecondPs / 20, channels);

    EventGenerator sliced(c);
    std::vector<Event> pieces;
    std::int64_t t = 0;
    for (std::int64_t step = 1; t < kSecondPs / 20; step = step * 7 % 1'000'003 + 13) {
        t = std::min(t + step * 1000, kSecondPs / 20);
        sliced.generateUntil(t, channels, pieces);
    }
    ASSERT_EQ(pieces.size(), reference.size());
    for (std::size_t i = 0; i < reference.size(); ++i) {
        ASSERT_EQ(pieces[i].timePs, reference[i].timePs) << i;
        ASSERT_EQ(pieces[i].channel, reference[i].channel) << i;
        ASSERT_EQ(pieces[i].widthPs, reference[i].widthPs) << i;
        ASSERT_EQ(pieces[i].energyKev, reference[i].energyKev) << i;
        if (i > 0) {
            ASSERT_LE(reference[i - 1].timePs, reference[i].timePs) << i;
        }
    }
}

TEST(EventGenerator, SeedDecidesTheEvents) {
    SignalConfig c;
    const auto channels = std::vector<ChannelSettings>(16, ChannelSettings::defaults());
    auto firstTags = [&](std::uint64_t seed) {
        c.seed = seed;
        EventGenerator g(c);
        std::vector<std::int64_t> tags;
        for (const Event& e : run(g, kSecondPs / 100, channels)) tags.push_back(e.timePs);
        return tags;
    };
    EXPECT_EQ(firstTags(3), firstTags(3));
    EXPECT_NE(firstTags(3), firstTags(4));
}

TEST(EventGenerator, SkipToProducesNothingBeforeTheTarget) {
    SignalConfig c = quietConfig(16);
    c.clock.enabled = true;
    const auto channels = channelsWithoutDeadTime(16);
    EventGenerator g(c);
    g.skipTo(3 * kSecondPs);
    const auto events = run(g, 3 * kSecondPs + kSecondPs / 10, channels);
    ASSERT_FALSE(events.empty());
    // Phase jitter may move a clock tick a few tens of ps before its ideal time.
    EXPECT_GE(events.front().timePs, 3 * kSecondPs - 100);
    const auto counts = countsPerChannel(events);
    EXPECT_NEAR(counts.at(16), 10000, 2);  // the 100 kHz clock keeps ticking
}

}  // namespace
}  // namespace veltrano::sim
