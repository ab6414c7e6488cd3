// The period analysis through the shared library against the simulator's
// clock with its default noise: 5 ps of white phase noise per tick and 1e-7
// of white frequency noise per period, both making the Allan deviation fall
// with tau. The clock runs at 10 kHz here and the simulator's other sources
// are (almost) silent, so that even a sanitizer build keeps pace with the
// wall clock. File mode writes six CSV files; memory mode hands out the raw
// periods and the stability curves as arrays.

#include "analysis_csv.h"
#include "support/sim_session.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using veltest::Points;

constexpr double kClockHz = 10000;
constexpr double kPeriodPs = 1e12 / kClockHz;
const char* const kSimConfig =
    "[clock]\nfrequency_hz = 10000\n"
    "[pairs]\ncount = 0\n"
    "[background]\nrate_hz = 100\n";
constexpr int kDecades = 3;
constexpr int kDecadePoints = 5;
constexpr int kSamplingIntervalMs = 50;
// Long enough never to end by itself: each scenario stops its run early.
constexpr int kDurationS = 10;

const std::vector<std::pair<std::string, std::string>> kFileHeaders{
    {"_period", "cycle_index, period(ps)"}, {"_counts", "period(ps), counts"}, {"_adev", "tau(s), adev"},
    {"_mdev", "tau(s), mdev"},              {"_tdev", "tau(s), tdev"},        {"_hdev", "tau(s), hdev"}};

// Raw points (cycle index, period) in the order they were handed out: they
// start at cycle 0 and each follows the previous one by the cycles its period
// spans (one, or k when the dead time swallowed k - 1 ticks), so no cycle is
// missing or repeated.
void expectConsecutiveCycles(const Points& cycles) {
    ASSERT_FALSE(cycles.empty());
    EXPECT_EQ(cycles.front().first, 0);
    for (std::size_t i = 0; i + 1 < cycles.size(); ++i) {
        const double spanned = std::round(cycles[i].second / kPeriodPs);
        ASSERT_GE(spanned, 1) << "point " << i;
        ASSERT_NEAR(cycles[i].second, spanned * kPeriodPs, 1e-4 * kPeriodPs) << "point " << i;
        ASSERT_EQ(cycles[i + 1].first, cycles[i].first + spanned) << "point " << i;
    }
}

// A stability curve over decades x decade_points averaging factors, fewer
// where two factors round to the same number of periods.
void expectStabilityCurve(const Points& curve, const std::string& name) {
    EXPECT_LE(curve.size(), static_cast<std::size_t>(kDecades * kDecadePoints)) << name;
    EXPECT_GE(curve.size(), static_cast<std::size_t>(kDecades * kDecadePoints - 2)) << name;
    ASSERT_FALSE(curve.empty()) << name;
    EXPECT_NEAR(curve.front().first, 1 / kClockHz, 1e-3 / kClockHz) << name << ": the shortest tau is one period";
    for (std::size_t i = 0; i < curve.size(); ++i) {
        EXPECT_GT(curve[i].second, 0) << name << " at tau " << curve[i].first;
        if (i > 0) {
            EXPECT_GT(curve[i].first, curve[i - 1].first) << name;
        }
    }
}

// White phase and frequency noise both make the Allan deviation fall: a
// decade later it is clearly lower, whatever the scatter of the estimates.
// At one period it is sqrt(3) x the phase noise (5 ps, and 0.29 ps from the
// whole-picosecond tags) / the period, beside the frequency noise of 1e-7.
void expectAdevFallingWithTau(const Points& adev) {
    for (std::size_t i = kDecadePoints; i < adev.size(); ++i) {
        EXPECT_LT(adev[i].second, adev[i - kDecadePoints].second) << "tau " << adev[i].first;
    }
    ASSERT_FALSE(adev.empty());
    const double phaseNoise = std::sqrt(3.0) * std::hypot(5e-12, 0.29e-12) * kClockHz;
    const double atOnePeriod = std::hypot(phaseNoise, 1e-7);
    EXPECT_NEAR(adev.front().second, atOnePeriod, 0.25 * atOnePeriod);
}

class PeriodAnalysisEndToEnd : public veltest::SimSessionTest {
protected:
    PeriodAnalysisEndToEnd() : SimSessionTest(kSimConfig) {}
    fs::path outputDir() const { return dir.path() / "period"; }
    fs::path outputFile(const std::string& suffix) const { return outputDir() / ("clock" + suffix + ".csv"); }
    veltest::TempDir dir;
};

TEST_F(PeriodAnalysisEndToEnd, FileModeWritesPeriodsWhileRunningAndTheCurvesAtStop) {
    ASSERT_EQ(ci_period_analysis(handle, kDurationS, kDecades, kDecadePoints, 0, 0, kClockHz, kSamplingIntervalMs, 0,
                                 outputDir().string().c_str(), "clock.csv"),
              0);
    for (const auto& [suffix, header] : kFileHeaders) {
        EXPECT_EQ(veltest::readHeader(outputFile(suffix)), header) << suffix;
    }
    const fs::path periods = outputFile("_period");
    ASSERT_TRUE(veltest::waitForRows(periods, 1, 60s)) << "no period reached the file";
    const std::size_t firstRows = veltest::countRows(periods);
    ASSERT_TRUE(veltest::waitForRows(periods, firstRows + 1, 60s)) << "the file stopped growing";
    for (const auto& [suffix, header] : kFileHeaders) {
        if (suffix != "_period") {
            EXPECT_EQ(veltest::countRows(outputFile(suffix)), 0u) << suffix << " is written at stop only";
        }
    }

    ASSERT_EQ(ci_stop_period_analysis(handle), 0);
    const veltest::CsvFile raw = veltest::readCsv(periods);
    expectConsecutiveCycles(raw.rows);
    const veltest::CsvFile counts = veltest::readCsv(outputFile("_counts"));
    ASSERT_FALSE(counts.rows.empty());
    EXPECT_NEAR(veltest::peakOf(counts.rows).first, kPeriodPs, 1e-4 * kPeriodPs);
    EXPECT_GE(veltest::sumOfY(counts.rows), static_cast<double>(raw.rows.size()))
        << "the histogram counts every cycle up to the stop, the file those fetched before it";
    expectStabilityCurve(veltest::readCsv(outputFile("_adev")).rows, "adev");
    expectStabilityCurve(veltest::readCsv(outputFile("_mdev")).rows, "mdev");
    expectStabilityCurve(veltest::readCsv(outputFile("_tdev")).rows, "tdev");
    expectStabilityCurve(veltest::readCsv(outputFile("_hdev")).rows, "hdev");
    expectAdevFallingWithTau(veltest::readCsv(outputFile("_adev")).rows);

    int count = -1;
    EXPECT_EQ(ci_fetch_period_rawdata(handle, &count, 0), nullptr) << "the points went to the file";
    EXPECT_EQ(count, 0);
}

TEST_F(PeriodAnalysisEndToEnd, MemoryModeHandsOutEachPeriodOnceAndTheCurvesAsArrays) {
    ASSERT_EQ(ci_period_analysis(handle, kDurationS, kDecades, kDecadePoints, 0, 0, kClockHz, kSamplingIntervalMs, 0,
                                 nullptr, nullptr),
              0);
    Points cycles;
    int count = 0;
    // A second of cycles, in the batches the library's thread fetched.
    while (cycles.size() < 10000) {
        int64_t* batch = ci_fetch_period_rawdata(handle, &count, 30000);
        ASSERT_NE(batch, nullptr) << "no periods after " << cycles.size();
        ASSERT_GT(count, 0);
        const Points points = veltest::takePoints(batch, count);
        cycles.insert(cycles.end(), points.begin(), points.end());
    }
    ASSERT_EQ(ci_stop_period_analysis(handle), 0);
    // Whatever was buffered before the stop may still come, but only once.
    while (int64_t* rest = ci_fetch_period_rawdata(handle, &count, 0)) {
        const Points points = veltest::takePoints(rest, count);
        cycles.insert(cycles.end(), points.begin(), points.end());
    }
    expectConsecutiveCycles(cycles);

    const Points histogram = veltest::takePoints(ci_fetch_period_processdata(handle, &count), count);
    ASSERT_FALSE(histogram.empty());
    EXPECT_NEAR(veltest::peakOf(histogram).first, kPeriodPs, 1e-4 * kPeriodPs);
    EXPECT_GE(veltest::sumOfY(histogram), static_cast<double>(cycles.size()));

    const char* names[] = {"adev", "mdev", "tdev", "hdev"};
    for (int type = 0; type < 4; ++type) {
        const Points curve = veltest::takePoints(ci_fetch_period_stability_metric(handle, type, &count), count);
        expectStabilityCurve(curve, names[type]);
        if (type == 0) {
            expectAdevFallingWithTau(curve);
        }
    }
    EXPECT_FALSE(fs::exists(outputDir()));
}

}  // namespace
