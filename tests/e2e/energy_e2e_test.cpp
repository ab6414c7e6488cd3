// The energy and pulse analyses through the shared library against the
// simulator: time over threshold (pulse widths of 8000 ps mean, 800 ps
// spread), the energy spectrum of A/D channel 1 (a 662 keV photopeak over a
// Compton continuum), the coincidence-gated spectra of channels 1 and 3 and
// A/D sampling (one 64-sample window per pulse, 0 at its first sample and
// highest at its sixth). The simulator's pair source feeds channels 1 and 3
// (channel 3 1500 ps after channel 1) at 5000 pairs per second, and its
// clock is off, so that even a sanitizer build keeps pace with the wall
// clock.

#include "analysis_csv.h"
#include "support/sim_session.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
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
constexpr int kFetchTimeoutMs = 30000;
constexpr std::size_t kEnoughWidths = 50;
constexpr double kWidthMeanPs = 8000;
constexpr double kPhotopeakKev = 662;
constexpr int kWindowSamples = 64;

// Where the photopeak lands on the "adc" axis: a pulse of E keV digitises to
// E x 16 x s(k) codes in sample k, s(k) = (a^k - b^k) / S with a = exp(-1/16),
// b = exp(-1/2) and S the sum over all samples; its area is the sum of the
// first integrationPoints samples, divided by the area scale.
double photopeakAdc(int integrationPoints, int areaScale) {
    const double a = std::exp(-1.0 / 16);
    const double b = std::exp(-0.5);
    const double whole = 1 / (1 - a) - 1 / (1 - b);
    const double integrated = (1 - std::pow(a, integrationPoints)) / (1 - a) - (1 - std::pow(b, integrationPoints)) / (1 - b);
    return kPhotopeakKev * 16 * (integrated / whole) / areaScale;
}

// Record pairs (value, pulse number): the pulses of the channel numbered one
// after the other, none dropped. count by reference, as veltest::takePoints.
std::vector<int64_t> takeRecordValues(int64_t* records, const int& count, int64_t& nextPulse) {
    std::vector<int64_t> values;
    for (int i = 0; i < count; ++i) {
        if (nextPulse >= 0) {
            EXPECT_EQ(records[2 * i + 1], nextPulse) << "record " << i;
        }
        nextPulse = records[2 * i + 1] + 1;
        values.push_back(records[2 * i]);
    }
    ci_free_int64_data(records);
    return values;
}

// The samples of whole trigger windows, in the order the service gave them:
// each window starts at 0 and peaks at its sixth sample. A last window cut
// by the end of the run is left out.
void expectWholeWindows(const std::vector<double>& adc) {
    ASSERT_GE(adc.size(), static_cast<std::size_t>(kWindowSamples));
    for (std::size_t start = 0; start + kWindowSamples <= adc.size(); start += kWindowSamples) {
        const auto window = adc.begin() + static_cast<std::ptrdiff_t>(start);
        EXPECT_EQ(window[0], 0) << "window at sample " << start;
        EXPECT_EQ(*std::max_element(window, window + kWindowSamples), window[5]) << "window at sample " << start;
        EXPECT_GT(window[5], 0) << "window at sample " << start;
    }
}

class EnergyEndToEnd : public veltest::SimSessionTest {
protected:
    EnergyEndToEnd()
        : SimSessionTest(
              "[clock]\nenabled = false\n[pair1]\nchannel_a = 1\nchannel_b = 3\nrate_hz = 5000\n") {}
    fs::path outputDir() const { return dir.path() / "energy"; }
    veltest::TempDir dir;
};

TEST_F(EnergyEndToEnd, TimeOverThresholdSavesTheWidthHistogramAtStop) {
    ASSERT_EQ(ci_tot_analysis(handle, kDurationS, 1, 0, outputDir().string().c_str(), "tot.csv"), 0);
    EXPECT_EQ(veltest::readHeader(outputDir() / "tot.csv"), "tot, counts");
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(ci_stop_tot_analysis(handle), 0);

    const veltest::CsvFile saved = veltest::readCsv(outputDir() / "tot.csv");
    EXPECT_EQ(saved.header, "tot, counts");
    ASSERT_FALSE(saved.rows.empty());
    EXPECT_GT(veltest::sumOfY(saved.rows), 1000);
    EXPECT_NEAR(veltest::weightedMeanOfX(saved.rows), kWidthMeanPs, 100);
}

TEST_F(EnergyEndToEnd, TimeOverThresholdRecordsArriveInMemoryEachOnce) {
    ASSERT_EQ(ci_tot_analysis(handle, kDurationS, 1, 1, nullptr, nullptr), 0);
    int count = 0;
    int64_t nextPulse = -1;
    std::vector<int64_t> widths = takeRecordValues(ci_fetch_tot_data(handle, &count, kFetchTimeoutMs), count, nextPulse);
    ASSERT_FALSE(widths.empty());
    // At least two fetches, and as many as it takes to have enough widths for
    // their mean: one fetch may hand over a single record.
    do {
        const std::vector<int64_t> more =
            takeRecordValues(ci_fetch_tot_data(handle, &count, kFetchTimeoutMs), count, nextPulse);
        ASSERT_FALSE(more.empty());
        widths.insert(widths.end(), more.begin(), more.end());
    } while (widths.size() < kEnoughWidths);
    const Points histogram = veltest::takePoints(ci_fetch_tot_processdata(handle, &count), count);
    EXPECT_EQ(ci_stop_tot_analysis(handle), 0);

    double sum = 0;
    for (int64_t width : widths) {
        EXPECT_GT(width, 0);
        sum += static_cast<double>(width);
    }
    // 800 ps spread: the mean of 50 widths is within 400 ps (3.5 standard
    // errors).
    EXPECT_NEAR(sum / static_cast<double>(widths.size()), kWidthMeanPs, 400);
    EXPECT_GE(veltest::sumOfY(histogram), static_cast<double>(widths.size()));
    EXPECT_FALSE(fs::exists(outputDir()));
}

TEST_F(EnergyEndToEnd, EnergySpectrumPutsThePhotopeakWhereTheAdcModelDoes) {
    // The whole pulse, scaled down so that the peak's spread (20 keV) spans
    // two codes: its maximum cannot wander far.
    constexpr int kIntegration = 1024;
    constexpr int kAreaScale = 160;
    ASSERT_EQ(ci_es_analysis(handle, kDurationS, 1, kIntegration, kAreaScale, 0, outputDir().string().c_str(), "es.csv"), 0);
    EXPECT_EQ(veltest::readHeader(outputDir() / "es.csv"), "adc, counts");
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(ci_stop_es_analysis(handle), 0);

    const veltest::CsvFile spectrum = veltest::readCsv(outputDir() / "es.csv");
    EXPECT_EQ(spectrum.header, "adc, counts");
    ASSERT_FALSE(spectrum.rows.empty());
    const double expected = photopeakAdc(kIntegration, kAreaScale);
    EXPECT_NEAR(veltest::peakOf(spectrum.rows).first, expected, 2.5) << "model peak at " << expected;
    // Bins are the areas' lower edges: the continuum starts at 0 and nothing
    // lies far beyond the peak.
    EXPECT_GE(spectrum.rows.front().first, 0);
    EXPECT_LT(spectrum.rows.back().first, 1.5 * expected);
}

TEST_F(EnergyEndToEnd, EnergySpectrumRecordsCarryTheScaledAreas) {
    constexpr int kAreaScale = 160;
    ASSERT_EQ(ci_es_analysis(handle, kDurationS, 1, 1024, kAreaScale, 1, nullptr, nullptr), 0);
    int count = 0;
    int64_t nextPulse = -1;
    const std::vector<int64_t> areas =
        takeRecordValues(ci_fetch_es_data(handle, &count, kFetchTimeoutMs), count, nextPulse);
    EXPECT_EQ(ci_stop_es_analysis(handle), 0);
    ASSERT_FALSE(areas.empty());
    const double peak = photopeakAdc(1024, kAreaScale);
    for (int64_t area : areas) {
        EXPECT_GE(area, 0);
        EXPECT_LT(static_cast<double>(area), 1.5 * peak);
    }
}

TEST_F(EnergyEndToEnd, AdSamplingInFileModeWritesWholeWindows) {
    constexpr int kSamplingNum = 10 * kWindowSamples;
    ASSERT_EQ(ci_ad_analysis(handle, kDurationS, 1, kWindowSamples, 100, kSamplingNum, outputDir().string().c_str(), "ad.csv"),
              0);
    const fs::path samplesFile = outputDir() / "ad.csv";
    EXPECT_EQ(veltest::readHeader(samplesFile), "sampling_points, adc");
    int count = -1;
    EXPECT_EQ(ci_fetch_ad_rawdata(handle, &count, 0), nullptr) << "the samples go to the file";
    EXPECT_EQ(count, 0);
    ASSERT_TRUE(veltest::waitForRows(samplesFile, 3 * kSamplingNum, 60s));
    ASSERT_EQ(ci_stop_ad_analysis(handle), 0);

    const veltest::CsvFile saved = veltest::readCsv(samplesFile);
    EXPECT_EQ(saved.header, "sampling_points, adc");
    // Every poll of the service brings sampling_num samples, written whole.
    EXPECT_EQ(saved.rows.size() % kSamplingNum, 0u);
    std::vector<double> adc;
    for (std::size_t i = 0; i < saved.rows.size(); ++i) {
        adc.push_back(saved.rows[i].second);
        if (i > 0) {
            EXPECT_GE(saved.rows[i].first, saved.rows[i - 1].first) << "row " << i;
        }
    }
    expectWholeWindows(adc);
}

TEST_F(EnergyEndToEnd, AdSamplingInMemoryModeHandsOutWholePollsOfConsecutiveSamples) {
    constexpr int kSamplingNum = 10 * kWindowSamples;
    ASSERT_EQ(ci_ad_analysis(handle, kDurationS, 1, kWindowSamples, 100, kSamplingNum, nullptr, nullptr), 0);
    Points samples;
    int count = 0;
    while (samples.size() < 3u * kSamplingNum) {
        int64_t* batch = ci_fetch_ad_rawdata(handle, &count, kFetchTimeoutMs);
        ASSERT_NE(batch, nullptr) << "no samples after " << samples.size();
        // The service hands out at most sampling_num a poll, and always that
        // many while its backlog lasts; the library may have gathered several.
        EXPECT_EQ(count % kSamplingNum, 0) << count;
        const Points points = veltest::takePoints(batch, count);
        samples.insert(samples.end(), points.begin(), points.end());
    }
    ASSERT_EQ(ci_stop_ad_analysis(handle), 0);
    while (int64_t* rest = ci_fetch_ad_rawdata(handle, &count, 0)) {
        EXPECT_EQ(count % kSamplingNum, 0) << count;
        const Points points = veltest::takePoints(rest, count);
        samples.insert(samples.end(), points.begin(), points.end());
    }

    std::vector<double> adc;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        adc.push_back(samples[i].second);
        if (i % kWindowSamples != 0) {
            EXPECT_EQ(samples[i].first, samples[i - 1].first + 1) << "sample " << i << " follows in its window";
        } else if (i > 0) {
            EXPECT_GT(samples[i].first, samples[i - 1].first) << "window at sample " << i;
        }
    }
    expectWholeWindows(adc);
    EXPECT_FALSE(fs::exists(outputDir()));
}

// Every x of a spectrum lies in its energy window; bins are lower edges, so
// the first may start up to one bin width below the window.
void expectWithinWindow(const Points& spectrum, double low, double high, const std::string& name) {
    ASSERT_GE(spectrum.size(), 2u) << name;
    double binWidth = spectrum[1].first - spectrum[0].first;
    for (std::size_t i = 1; i < spectrum.size(); ++i) {
        binWidth = std::min(binWidth, spectrum[i].first - spectrum[i - 1].first);
    }
    for (const auto& [adc, counts] : spectrum) {
        EXPECT_GT(adc, low - binWidth) << name;
        EXPECT_LE(adc, high) << name;
    }
}

TEST_F(EnergyEndToEnd, GatedSpectraOfChannelsOneAndThreeAreSavedAtStop) {
    // The default integration (64 samples, scale 1) puts the photopeak near
    // 10360: channel 1 is gated on it, channel 3 takes every energy.
    constexpr int kPeakLow = 9000;
    constexpr int kPeakHigh = 12000;
    constexpr int kWindowPs = 5000;
    ASSERT_EQ(ci_conform_es_analysis(handle, kDurationS, 1, 3, 64, 1, kPeakLow, kPeakHigh, 0, kPeakHigh, kWindowPs, 1,
                                     outputDir().string().c_str(), "F.csv"),
              0);
    EXPECT_EQ(veltest::readHeader(outputDir() / "F.csv"), "tdiff, counts");
    EXPECT_EQ(veltest::readHeader(outputDir() / "F_ch1.csv"), "adc, counts");
    EXPECT_EQ(veltest::readHeader(outputDir() / "F_ch3.csv"), "adc, counts");
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(ci_stop_conform_es_analysis(handle), 0);

    const veltest::CsvFile tdiff = veltest::readCsv(outputDir() / "F.csv");
    const veltest::CsvFile area1 = veltest::readCsv(outputDir() / "F_ch1.csv");
    const veltest::CsvFile area3 = veltest::readCsv(outputDir() / "F_ch3.csv");
    ASSERT_FALSE(tdiff.rows.empty());
    EXPECT_NEAR(veltest::peakOf(tdiff.rows).first, 1500, 150);
    for (const auto& [dt, counts] : tdiff.rows) {
        EXPECT_LE(std::abs(dt), kWindowPs);
    }
    expectWithinWindow(area1.rows, kPeakLow, kPeakHigh, "channel 1");
    expectWithinWindow(area3.rows, 0, kPeakHigh, "channel 3");
    // Each coincidence counts once in each of the three; the three were saved
    // one after the other while the run went on until the stop command, so
    // the later ones may hold a few coincidences more.
    const double coincidences = veltest::sumOfY(area1.rows);
    EXPECT_GT(coincidences, 100);
    EXPECT_NEAR(veltest::sumOfY(area3.rows), coincidences, 0.05 * coincidences);
    EXPECT_NEAR(veltest::sumOfY(tdiff.rows), coincidences, 0.05 * coincidences);
    // Channel 1's window holds its photopeak alone (20 keV, some 300 codes wide).
    EXPECT_NEAR(veltest::weightedMeanOfX(area1.rows), photopeakAdc(64, 1), 100);

    // The same results as arrays. The files were saved one after the other
    // before the stop command reached the run, so the arrays may hold the
    // last few coincidences more, in bins that may be new.
    int count = 0;
    const Points fetched1 = veltest::takePoints(ci_fetch_conform_es_area1_processdata(handle, &count), count);
    EXPECT_GE(fetched1.size(), area1.rows.size());
    EXPECT_NEAR(veltest::sumOfY(fetched1), coincidences, 0.05 * coincidences);
    const Points fetched3 = veltest::takePoints(ci_fetch_conform_es_area2_processdata(handle, &count), count);
    EXPECT_GE(fetched3.size(), area3.rows.size());
    const Points fetchedTdiff = veltest::takePoints(ci_fetch_conform_es_processdata(handle, &count), count);
    EXPECT_EQ(fetchedTdiff.size(), tdiff.rows.size()) << "every bin of the window exists";
    EXPECT_NEAR(veltest::peakOf(fetchedTdiff).first, 1500, 150);
}

}  // namespace
