// The autocorrelation analysis and the time-tag records through the shared
// library against the simulator. Channel 1 sees one arm of the pair source
// over dark counts, a Poisson stream whose g2 is flat at 1; with the
// single-photon emitter switched on (channel 5, dead time 0) the g2 dips
// towards 0 at zero delay. T3 records come from a time-of-flight run of
// channel 2 against channel 1, whose pairs are 1500 ps apart. The clock
// source, which nothing here looks at, is switched off so that even a
// sanitizer build of the simulator keeps pace with the wall clock.

#include "analysis_csv.h"
#include "support/sim_session.h"
#include "support/windows_skip.h"

#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using veltest::Points;

// Long enough never to end by itself: each scenario stops its run early.
constexpr int kDurationS = 10;
constexpr int kPoissonChannel = 1;
constexpr double kMinTauS = -1e-5;
constexpr double kMaxTauS = 1e-5;
constexpr int kBins = 20;
constexpr int kFetchTimeoutMs = 30000;

// A Poisson stream: each bin sits at its centre and the curve scatters
// around 1 (some hundred pairs per bin after a second).
void expectFlatG2(const Points& curve) {
    ASSERT_EQ(curve.size(), static_cast<std::size_t>(kBins));
    const double width = (kMaxTauS - kMinTauS) / kBins;
    for (std::size_t i = 0; i < curve.size(); ++i) {
        EXPECT_NEAR(curve[i].first, kMinTauS + (static_cast<double>(i) + 0.5) * width, 1e-3 * width);
        EXPECT_NEAR(curve[i].second, 1.0, 0.3) << "tau " << curve[i].first;
    }
    EXPECT_NEAR(veltest::sumOfY(curve) / kBins, 1.0, 0.1);
}

struct T2Record {
    int64_t channel;
    int64_t tagPs;
};

// count by reference, as veltest::takePoints.
std::vector<T2Record> takeT2(int64_t* records, const int& count) {
    std::vector<T2Record> taken;
    for (int i = 0; i < count; ++i) {
        taken.push_back({records[2 * i], records[2 * i + 1]});
    }
    ci_free_int64_data(records);
    return taken;
}

class AutocorrelationEndToEnd : public veltest::SimSessionTest {
protected:
    AutocorrelationEndToEnd() : SimSessionTest("[clock]\nenabled = false\n") {}
    fs::path outputDir() const { return dir.path() / "g2"; }
    veltest::TempDir dir;
};

TEST_F(AutocorrelationEndToEnd, FileModeSavesTheCurveAtStopAndLeavesT2RecordsToTheService) {
    ASSERT_EQ(ci_autocorrelation_analysis(handle, kDurationS, kPoissonChannel, kMinTauS, kMaxTauS, kBins, 1,
                                          outputDir().string().c_str(), "g2.csv"),
              0);
    const fs::path curveFile = outputDir() / "g2.csv";
    EXPECT_EQ(veltest::readHeader(curveFile), "tdiff(s), auto_correlation(g2)");
    int count = -1;
    EXPECT_EQ(ci_fetch_t2_data(handle, &count, 0), nullptr) << "the service writes the records into its file";
    EXPECT_EQ(count, 0);
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(ci_stop_autocorrelation_analysis(handle), 0);

    const veltest::CsvFile saved = veltest::readCsv(curveFile);
    EXPECT_EQ(saved.header, "tdiff(s), auto_correlation(g2)");
    expectFlatG2(saved.rows);
    VELTRANO_SKIP_ON_WINDOWS("the service writes the T2 records to the folder it is given, a Windows path the Linux "
                             "simulator cannot reach");
    const fs::path t2File = outputDir() / "g2_t2.bin";
    ASSERT_TRUE(fs::exists(t2File));
    EXPECT_GT(fs::file_size(t2File), 0u);
    EXPECT_EQ(fs::file_size(t2File) % 12, 0u) << "whole 12-byte T2 records";
}

TEST_F(AutocorrelationEndToEnd, MemoryModeCurveIsFetchedAsDoubles) {
    ASSERT_EQ(ci_autocorrelation_analysis(handle, kDurationS, kPoissonChannel, kMinTauS, kMaxTauS, kBins, 0, nullptr,
                                          nullptr),
              0);
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(ci_stop_autocorrelation_analysis(handle), 0);
    int count = 0;
    const Points curve = veltest::takePoints(ci_fetch_autocorrelation_data(handle, &count), count);
    expectFlatG2(curve);
    EXPECT_FALSE(fs::exists(outputDir()));
}

TEST_F(AutocorrelationEndToEnd, T2RecordsArriveInBatchesEachOnce) {
    ASSERT_EQ(ci_autocorrelation_analysis(handle, kDurationS, kPoissonChannel, kMinTauS, kMaxTauS, kBins, 1, nullptr,
                                          nullptr),
              0);
    int count = 0;
    const auto first = takeT2(ci_fetch_t2_data(handle, &count, kFetchTimeoutMs), count);
    ASSERT_FALSE(first.empty());
    const auto second = takeT2(ci_fetch_t2_data(handle, &count, kFetchTimeoutMs), count);
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(ci_stop_autocorrelation_analysis(handle), 0);

    std::vector<T2Record> all;
    all.reserve(first.size() + second.size());
    all.insert(all.end(), first.begin(), first.end());
    all.insert(all.end(), second.begin(), second.end());
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].channel, kPoissonChannel) << "record " << i;
        EXPECT_GE(all[i].tagPs, 0) << "record " << i;
        if (i > 0) {
            ASSERT_GT(all[i].tagPs, all[i - 1].tagPs) << "record " << i << ": time order across both batches";
        }
    }
}

TEST_F(AutocorrelationEndToEnd, T2FetchGivesNothingAtOnceWhenTheRunKeepsNoRecords) {
    ASSERT_EQ(ci_autocorrelation_analysis(handle, kDurationS, kPoissonChannel, kMinTauS, kMaxTauS, kBins, 0, nullptr,
                                          nullptr),
              0);
    int count = -1;
    EXPECT_EQ(ci_fetch_t2_data(handle, &count, kFetchTimeoutMs), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ci_stop_autocorrelation_analysis(handle), 0);
}

TEST_F(AutocorrelationEndToEnd, T3RecordsComeFromATimeOfFlightRunThatKeepsThem) {
    constexpr int kWindowPs = 10000;
    constexpr int kPairDelayPs = 1500;
    ASSERT_EQ(ci_tof_analysis(handle, kDurationS, 1, 2, kWindowPs, 1, 1, nullptr, nullptr), 0);
    int count = 0;
    int64_t* records = ci_fetch_t3_data(handle, &count, kFetchTimeoutMs);
    EXPECT_EQ(ci_stop_tof_analysis(handle), 0);
    ASSERT_NE(records, nullptr);
    ASSERT_GT(count, 0);
    int nearDelay = 0;
    for (int i = 0; i < count; ++i) {
        const int64_t* record = records + 4 * i;
        EXPECT_EQ(record[1], 1) << "start channel, record " << i;
        EXPECT_EQ(record[3], 2) << "stop channel, record " << i;
        EXPECT_LE(std::abs(record[2]), kWindowPs) << "record " << i;
        nearDelay += std::abs(record[2] - kPairDelayPs) < 300 ? 1 : 0;
    }
    ci_free_int64_data(records);
    EXPECT_GT(nearDelay, count / 2) << "most counted pairs are the source's";
}

// The emitter on channel 5 at the simulator's default rates: about 1e5
// photons per second over 1000 dark counts per second; g2(tau) = 1 -
// exp(-|tau| / 10 ns), so the bins next to zero delay hold about 0.2. The
// other sources are off.
class EmitterAutocorrelation : public veltest::SimSessionTest {
protected:
    EmitterAutocorrelation()
        : SimSessionTest("[emitter]\nchannel = 5\n[clock]\nenabled = false\n[pairs]\ncount = 0\n") {}
    static constexpr int kEmitterChannel = 5;
};

TEST_F(EmitterAutocorrelation, SinglePhotonsAreAntibunchedAtZeroDelay) {
    // The default dead time (10 ns) would empty the short delays.
    ASSERT_EQ(ci_set_dead_time(handle, kEmitterChannel, 0), 0);
    ASSERT_EQ(ci_autocorrelation_analysis(handle, kDurationS, kEmitterChannel, -40e-9, 40e-9, 20, 0, nullptr, nullptr),
              0);
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(ci_stop_autocorrelation_analysis(handle), 0);
    int count = 0;
    const Points curve = veltest::takePoints(ci_fetch_autocorrelation_data(handle, &count), count);
    ASSERT_EQ(curve.size(), 20u);
    double farSum = 0;
    int farBins = 0;
    for (const auto& [tau, g2] : curve) {
        if (std::abs(tau) < 5e-9) {
            EXPECT_LT(g2, 0.5) << "tau " << tau;
        } else if (std::abs(tau) > 25e-9) {
            farSum += g2;
            ++farBins;
        }
    }
    ASSERT_GT(farBins, 0);
    EXPECT_GT(farSum / farBins, 0.8) << "far from zero delay the photons are uncorrelated";
}

}  // namespace
