// Count rates through the shared library against a simulator whose rates are
// known: timed recordings written to CSV files, and a rate read on demand.

#include "support/sim_session.h"

#include <veltranoapi/veltranoapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Four channels with plain Poisson sources: dark counts on every channel, a
// stronger one on channel 3, and a pair source on channels 1 and 2 whose arms
// fall well inside the default 1000 ps coincidence window. No clock, no noise.
constexpr const char* kSimConfig = R"([instrument]
channels = 4
[background]
rate_hz = 2000
[channel3]
background_rate_hz = 8000
[detector]
noise_rate_hz = 0
[pairs]
count = 1
[pair1]
channel_a = 1
channel_b = 2
rate_hz = 3000
delay_ps = 200
jitter_ps = 50
[clock]
enabled = false
[rates]
sample_interval_ms = 100
)";

constexpr int kChannels = 4;
// Counts per second each channel should show: dark counts plus pair arms, and
// the pairs alone as coincidences (accidentals are below 1 per second).
const std::map<int, double> kSingleRates = {{1, 5000}, {2, 5000}, {3, 8000}, {4, 2000}};
const std::map<int, double> kCoincidenceRates = {{1, 3000}, {2, 3000}, {3, 0}, {4, 0}};

constexpr int kRecordingSeconds = 3;

struct Sample {
    long long timestampMs;
    int channel;
    long long cps;
};

// The rows of a recording file after its header line; fails the test on a
// row that is not three integers.
std::vector<Sample> readRecording(const fs::path& file) {
    std::istringstream in(veltest::readTextFile(file));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "timestamp, channel_no, cps");
    std::vector<Sample> samples;
    while (std::getline(in, line)) {
        Sample s{};
        char comma1 = 0;
        char comma2 = 0;
        std::istringstream row(line);
        row >> s.timestampMs >> comma1 >> s.channel >> comma2 >> s.cps;
        EXPECT_TRUE(row && comma1 == ',' && comma2 == ',' && row.peek() == EOF) << "row: " << line;
        samples.push_back(s);
    }
    return samples;
}

// Every sample, the first included (the meter always covers a full second), is
// Poisson-distributed around the configured rate; the mean of the samples,
// which overlap in time, varies no more than a single one does.
void expectRatesMatch(const std::vector<Sample>& samples, const std::map<int, double>& expected) {
    std::map<int, std::vector<long long>> byChannel;
    for (const Sample& s : samples) {
        byChannel[s.channel].push_back(s.cps);
    }
    for (const auto& [channel, rate] : expected) {
        const auto& values = byChannel[channel];
        ASSERT_FALSE(values.empty()) << "no sample of channel " << channel;
        const double sigma = std::sqrt(std::max(rate, 1.0));
        double sum = 0;
        for (long long v : values) {
            EXPECT_NEAR(static_cast<double>(v), rate, 7 * sigma + 2) << "channel " << channel;
            sum += static_cast<double>(v);
        }
        EXPECT_NEAR(sum / static_cast<double>(values.size()), rate, 5 * sigma + 1) << "channel " << channel;
    }
}

// The rows come as the service formats them: every channel in order at each
// sample time, sample times rising in steps of the sampling interval.
void expectWholeSamples(const std::vector<Sample>& samples) {
    ASSERT_EQ(samples.size() % kChannels, 0u);
    for (size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(samples[i].channel, static_cast<int>(i % kChannels) + 1) << "row " << i;
        EXPECT_EQ(samples[i].timestampMs, samples[i - i % kChannels].timestampMs) << "row " << i;
        EXPECT_EQ(samples[i].timestampMs % 100, 0) << "row " << i;
        if (i >= kChannels) {
            EXPECT_GT(samples[i].timestampMs, samples[i - kChannels].timestampMs) << "row " << i;
        }
    }
}

class CountRateRecordingAgainstSimulator : public veltest::SimSessionTest {
protected:
    CountRateRecordingAgainstSimulator() : SimSessionTest(kSimConfig) {}

    std::string outputFolder() const { return (dir() / "rates").string(); }
};

// Waits until the recording timer has written its file, then lets the stop
// join the timer (it finds the recording saved and sends nothing).
void awaitTimedSave(const fs::path& file, int (*stop)(uint64_t), uint64_t handle) {
    while (!fs::exists(file)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(stop(handle), 0);
}

TEST_F(CountRateRecordingAgainstSimulator, TimedRecordingsHoldTheConfiguredRates) {
    ASSERT_EQ(ci_output_single_cps(handle, kRecordingSeconds, outputFolder().c_str(), "single.csv"), 0);
    ASSERT_EQ(ci_output_coins_cps(handle, kRecordingSeconds, outputFolder().c_str(), "coins.csv"), 0);

    const fs::path singleFile = fs::path(outputFolder()) / "single.csv";
    const fs::path coinsFile = fs::path(outputFolder()) / "coins.csv";
    awaitTimedSave(singleFile, ci_stop_singlecps_recording, handle);
    awaitTimedSave(coinsFile, ci_stop_coinscps_recording, handle);

    const auto single = readRecording(singleFile);
    expectWholeSamples(single);
    expectRatesMatch(single, kSingleRates);

    const auto coins = readRecording(coinsFile);
    expectWholeSamples(coins);
    expectRatesMatch(coins, kCoincidenceRates);
}

// Read right after linking: the meter already covers a whole second.
TEST_F(CountRateRecordingAgainstSimulator, RateReadOnDemandMatchesTheConfiguredRate) {
    const int rate = ci_get_single_cps(handle, 3);
    EXPECT_NEAR(rate, 8000, 7 * std::sqrt(8000.0));
    const int coincidences = ci_get_coins_cps(handle, 1);
    EXPECT_NEAR(coincidences, 3000, 7 * std::sqrt(3000.0));
}

TEST_F(CountRateRecordingAgainstSimulator, StopEndsTheRecordingEarlyAndSavesItOnce) {
    ASSERT_EQ(ci_output_single_cps(handle, 3600, outputFolder().c_str(), "stopped.csv"), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(ci_stop_singlecps_recording(handle), 0);
    EXPECT_EQ(ci_stop_singlecps_recording(handle), 0);

    const auto samples = readRecording(fs::path(outputFolder()) / "stopped.csv");
    expectWholeSamples(samples);
    EXPECT_FALSE(samples.empty());
}

}  // namespace
