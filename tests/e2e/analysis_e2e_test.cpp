// The timing analyses through the shared library against the simulator's
// default instrument, whose channels 1 and 2 see a photon-pair source (channel
// 2 fires 1500 ps after channel 1, 50 ps jitter) over dark counts: time of
// flight with g2, start-stop with dual stops, and n-fold coincidences, each in
// file mode (CSV files written at stop) and in memory mode (fetched arrays).

#include "analysis_csv.h"
#include "support/sim_session.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr double kPairDelayPs = 1500;
constexpr int kWindowPs = 10000;

using Rows = veltest::Points;
using veltest::CsvFile;
using veltest::readCsv;

// The one file in folder whose name contains every part; fails otherwise.
fs::path findFile(const fs::path& folder, const std::vector<std::string>& parts) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        bool all = true;
        for (const auto& part : parts) {
            all = all && name.find(part) != std::string::npos;
        }
        if (all) {
            found.push_back(entry.path());
        }
    }
    EXPECT_EQ(found.size(), 1u) << "files matching in " << folder;
    return found.empty() ? fs::path() : found.front();
}

std::pair<double, double> peakOf(const Rows& rows) {
    std::pair<double, double> peak{0, -1e300};
    for (const auto& row : rows) {
        if (row.second > peak.second) {
            peak = row;
        }
    }
    return peak;
}

// Takes a fetched array and its point count; releases the array.
template <class T>
Rows toRows(T* pairs, int count) {
    Rows rows;
    for (int i = 0; i < count; ++i) {
        rows.emplace_back(static_cast<double>(pairs[2 * i]), static_cast<double>(pairs[2 * i + 1]));
    }
    ci_free_int64_data(pairs);
    return rows;
}

// Waits until the file holds more than its header line (the stop timer saves
// at duration + 2 s); false after limit.
bool waitForRows(const fs::path& file, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (fs::exists(file) && readCsv(file).rows.size() > 0) {
            return true;
        }
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

class AnalysisEndToEnd : public veltest::SimSessionTest {
protected:
    fs::path outputDir() const { return fs::path(dir.str()) / "out"; }
    veltest::TempDir dir;
};

TEST_F(AnalysisEndToEnd, TimeOfFlightSavesHistogramAndG2WhenItsTimerEndsTheRun) {
    const fs::path folder = outputDir() / "tof";
    ASSERT_EQ(ci_tof_analysis(handle, 1, 1, 2, kWindowPs, 0, 1, folder.string().c_str(), "run.csv"), 0);
    ASSERT_EQ(ci_set_cross_correlation_config(handle, 0, 100, 1000, 1000), 0);

    const fs::path counts = folder / "run_counts.csv";
    const fs::path g2 = folder / "run_cross_correlation.csv";
    ASSERT_TRUE(waitForRows(g2, 20s)) << "the stop timer saved nothing";
    const CsvFile histogram = readCsv(counts);
    EXPECT_EQ(histogram.header, "tdiff(ps), counts");
    const auto [peakTdiff, peakCounts] = peakOf(histogram.rows);
    EXPECT_NEAR(peakTdiff, kPairDelayPs, 150);
    EXPECT_GT(peakCounts, 100);

    const CsvFile curve = readCsv(g2);
    EXPECT_EQ(curve.header, "tdiff(ps), cross_correlation(g2)");
    const auto [g2Tdiff, g2Peak] = peakOf(curve.rows);
    EXPECT_NEAR(g2Tdiff, kPairDelayPs, 150);
    EXPECT_GT(g2Peak, 10) << "a pair source far above its accidentals";
    // The run was stopped by the timer: a second stop saves nothing more.
    const auto rowsBefore = readCsv(counts).rows.size();
    EXPECT_EQ(ci_stop_tof_analysis(handle), 0);
    EXPECT_EQ(readCsv(counts).rows.size(), rowsBefore);
}

TEST_F(AnalysisEndToEnd, TimeOfFlightInMemoryGivesTheSameCurvesWithoutFiles) {
    ASSERT_EQ(ci_tof_analysis(handle, 2, 1, 2, kWindowPs, 0, 1, nullptr, nullptr), 0);
    ASSERT_EQ(ci_set_cross_correlation_config(handle, 0, 100, 1000, 1000), 0);
    std::this_thread::sleep_for(1500ms);

    int count = 0;
    int64_t* counts = ci_fetch_tof_processdata(handle, &count);
    const Rows histogram = toRows(counts, count);
    ASSERT_GT(count, 0);
    EXPECT_NEAR(peakOf(histogram).first, kPairDelayPs, 150);
    double* g2 = ci_fetch_cross_correlation_data(handle, &count);
    const Rows curve = toRows(g2, count);
    ASSERT_GT(count, 0);
    EXPECT_NEAR(peakOf(curve).first, kPairDelayPs, 150);
    EXPECT_GT(peakOf(curve).second, 10);

    EXPECT_EQ(ci_stop_tof_analysis(handle), 0);
    EXPECT_FALSE(fs::exists(outputDir()));
}

TEST_F(AnalysisEndToEnd, StartStopWritesPairAverageAndDualStopFiles) {
    const fs::path folder = outputDir() / "ss";
    int32_t stops[] = {2, 3};
    CHAN_GROUP group{1, stops, 2};
    DUAL_STOPS_GROUP dual{1, 2, 3};
    ASSERT_EQ(ci_startstop_analysis(handle, 2, &group, 1, &dual, 1, kWindowPs, 0, folder.string().c_str(), "run.csv"), 0);
    std::this_thread::sleep_for(1500ms);
    ASSERT_EQ(ci_stop_startstop_analysis(handle), 0);

    const CsvFile pair = readCsv(findFile(folder, {"start_stop", "_1_2"}));
    EXPECT_EQ(pair.header, "tdiff, counts");
    ASSERT_FALSE(pair.rows.empty());
    EXPECT_GT(peakOf(pair.rows).second, 100);
    const CsvFile average = readCsv(findFile(folder, {"start_stop", "_1_average"}));
    EXPECT_EQ(average.header, "tdiff, counts");
    EXPECT_FALSE(average.rows.empty());
    findFile(folder, {"start_stop", "_1_3"});
    const CsvFile dualStops = readCsv(findFile(folder, {"dual_stops", "_1"}));
    EXPECT_EQ(dualStops.header, "x_stop_tdiff, y_stop_tdiff");
}

TEST_F(AnalysisEndToEnd, StartStopDualStopsInMemoryAreFetchedOnce) {
    int32_t stops[] = {2};
    CHAN_GROUP group{1, stops, 1};
    DUAL_STOPS_GROUP dual{1, 2, 3};
    ASSERT_EQ(ci_startstop_analysis(handle, 2, &group, 1, &dual, 1, kWindowPs, 0, nullptr, nullptr), 0);
    int count = 0;
    int64_t* pairs = ci_fetch_startstop_dualstops_rawdata(handle, 1, &count, 3000);
    // Channel 3 sees dark counts only: pairs with both stops in the window
    // are rare but come within seconds at the default rates.
    if (pairs != nullptr) {
        EXPECT_GT(count, 0);
        for (int i = 0; i < count; ++i) {
            EXPECT_GE(pairs[2 * i], 0);
            EXPECT_LT(pairs[2 * i], kWindowPs);
        }
        ci_free_int64_data(pairs);
    }
    int histogramCount = 0;
    int64_t* counts = ci_fetch_startstop_processdata(handle, 1, 2, &histogramCount);
    const Rows histogram = toRows(counts, histogramCount);
    ASSERT_GT(histogramCount, 0);
    EXPECT_NEAR(peakOf(histogram).first, kPairDelayPs, 150);
    EXPECT_EQ(ci_stop_startstop_analysis(handle), 0);
}

TEST_F(AnalysisEndToEnd, NFoldCoincidencesCountThePairsAndSaveTheirHistory) {
    const fs::path folder = outputDir() / "nc";
    int32_t channels[] = {1, 2};
    NCOINS_STRATEGY strategy{"pair", channels, 2, 2};
    ASSERT_EQ(ci_set_coins_time_window(handle, 2000), 0);
    ASSERT_EQ(ci_ncoins_analysis(handle, 3, &strategy, 1, 0, folder.string().c_str(), "run.csv"), 0);
    std::this_thread::sleep_for(2000ms);
    const int cps = ci_get_ncoins_cps(handle, 0);
    EXPECT_NEAR(cps, 20000, 2000) << "the pair source's rate";

    int count = 0;
    int64_t* history = ci_fetch_ncoins_cps(handle, 0, &count);
    EXPECT_GT(count, 0);
    ci_free_int64_data(history);
    ASSERT_EQ(ci_stop_ncoins_analysis(handle), 0);
    const CsvFile saved = readCsv(findFile(folder, {"pair"}));
    EXPECT_EQ(saved.header, "time(s), cps");
    EXPECT_FALSE(saved.rows.empty());
}

}  // namespace
