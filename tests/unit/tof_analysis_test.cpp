// The time-of-flight exports against a scripted service: the start request,
// the counts and cross-correlation files with their headers, the g2
// configuration and fetch, and what the stop saves.

#include "api/session_registry.h"
#include "point_payload.h"
#include "support/service_session.h"

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using veltest::pointPayload;

// Long enough that only a stop call ends a run within a test.
constexpr int kLongDuration = 3600;
const std::string kCountsHeader = "tdiff(ps), counts\n";
const std::string kG2Header = "tdiff(ps), cross_correlation(g2)\n";

class TimeOfFlight : public veltest::ServiceSessionTest {
protected:
    fs::path folder() const { return dir.path() / "tof"; }
    std::string folderText() const { return folder().string(); }
    vel::AnalysisState& state() { return vel::SessionRegistry::lookup(handle)->analysis; }

    std::vector<fs::path> filesIn(const fs::path& where) const {
        std::vector<fs::path> files;
        if (fs::exists(where)) {
            for (const auto& entry : fs::recursive_directory_iterator(where)) {
                if (entry.is_regular_file()) {
                    files.push_back(entry.path());
                }
            }
        }
        return files;
    }
};

TEST_F(TimeOfFlight, StartSendsEveryKeyWithItsTypeAndPreparesTheCountsFile) {
    ASSERT_EQ(ci_tof_analysis(handle, kLongDuration, 1, 2, 5000, 1, 3, folderText().c_str(), "run.csv"), 0);
    EXPECT_EQ(onlyRequest(), "{\"avg_times\":3,\"ch1\":1,\"ch2\":2,\"cmd\":\"tof_analysis\",\"coins_time_window\":5000,"
                             "\"duration\":3600,\"enable_t3_data\":1,\"file_name\":\"run.csv\",\"folder_path\":\"" +
                                 veltest::pathInJson(folderText()) + "\"}\n");
    EXPECT_EQ(veltest::readTextFile(folder() / "run_counts.csv"), kCountsHeader);
    EXPECT_TRUE(state().t3Enabled);
    EXPECT_TRUE(state().t3ToFile);
}

TEST_F(TimeOfFlight, StartWithoutFileNameSendsEmptyTextsAndPreparesNothing) {
    ASSERT_EQ(ci_tof_analysis(handle, kLongDuration, 3, 4, 100, 2, 1, nullptr, nullptr), 0);
    EXPECT_EQ(service.lastRequest()["file_name"], "");
    EXPECT_EQ(service.lastRequest()["folder_path"], "");
    EXPECT_EQ(service.lastRequest()["enable_t3_data"], 2);
    EXPECT_FALSE(state().t3Enabled);
    EXPECT_FALSE(state().t3ToFile);

    // No file for the configuration either, and the stop only stops.
    EXPECT_EQ(ci_set_cross_correlation_config(handle, 1, 2, 3, 4), 0);
    EXPECT_EQ(service.requests().back(),
              "{\"bin_width\":2,\"cmd\":\"set_cross_correlation_config\",\"dcr1\":3,\"dcr2\":4,\"virtual_twin\":1}\n");
    EXPECT_EQ(ci_stop_tof_analysis(handle), 0);
    EXPECT_EQ(service.requests().back(), "{\"cmd\":\"stop_tof_analysis\"}\n");
    EXPECT_EQ(service.requests().size(), 3u);
    EXPECT_TRUE(filesIn(dir.path() / "output").empty());
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(TimeOfFlight, NonPositiveDurationIsRefusedSilently) {
    EXPECT_EQ(ci_tof_analysis(handle, 0, 1, 2, 5000, 0, 1, folderText().c_str(), "run.csv"), -1);
    EXPECT_EQ(ci_tof_analysis(handle, -1, 1, 2, 5000, 0, 1, folderText().c_str(), "run.csv"), -1);
    EXPECT_TRUE(service.requests().empty());
    EXPECT_TRUE(filesIn(folder()).empty());
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(ci_tof_analysis(handle + 1000, 5, 1, 2, 5000, 0, 1, nullptr, nullptr), -1);
}

TEST_F(TimeOfFlight, RejectedStartReturnsTheServiceStatus) {
    service.replyJson({{"result", 7}});
    EXPECT_EQ(ci_tof_analysis(handle, kLongDuration, 1, 2, 5000, 1, 1, folderText().c_str(), "run.csv"), 7);
    EXPECT_FALSE(state().t3ToFile);
}

TEST_F(TimeOfFlight, StopSavesCountsThenTheG2CurveIntoTheirFiles) {
    ASSERT_EQ(ci_tof_analysis(handle, kLongDuration, 1, 2, 5000, 0, 1, folderText().c_str(), "run.csv"), 0);
    ASSERT_EQ(ci_set_cross_correlation_config(handle, 0, 100, 50, 60), 0);
    EXPECT_EQ(veltest::readTextFile(folder() / "run_cross_correlation.csv"), kG2Header);

    service.replyBinary(pointPayload({{-200, 4}, {0, 17}}));
    service.replyBinary(pointPayload({{-200, 0.98}, {0, 2.41}, {200, std::numeric_limits<double>::quiet_NaN()}}));
    EXPECT_EQ(ci_stop_tof_analysis(handle), 0);
    EXPECT_EQ(veltest::readTextFile(folder() / "run_counts.csv"), kCountsHeader + veltest::dataLines("-200,4\n0,17\n"));
    EXPECT_EQ(veltest::readTextFile(folder() / "run_cross_correlation.csv"),
              kG2Header + veltest::dataLines("-200,0.98\n0,2.41\n200,nan\n"));
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[2],
              "{\"cmd\":\"fetch_processdata\",\"stability_metric_type\":0,\"start_chan\":-1,\"stop_chan\":-1}\n");
    EXPECT_EQ(requests[3], "{\"cmd\":\"fetch_cross_correlation_data\",\"stability_metric_type\":0,\"start_chan\":-1,"
                           "\"stop_chan\":-1}\n");
    EXPECT_EQ(requests[4], "{\"cmd\":\"stop_tof_analysis\"}\n");
}

TEST_F(TimeOfFlight, ConfigurationBeforeTheStartSavesNoG2Curve) {
    log.expectError("Fetch process data failed");  // the first run's stop meets the default reply
    ASSERT_EQ(ci_tof_analysis(handle, kLongDuration, 1, 2, 5000, 0, 1, folderText().c_str(), "a.csv"), 0);
    ASSERT_EQ(ci_stop_tof_analysis(handle), 0);
    // Configured between two runs: the file belongs to the earlier run's name.
    ASSERT_EQ(ci_set_cross_correlation_config(handle, 0, 100, 50, 60), 0);
    ASSERT_EQ(ci_tof_analysis(handle, kLongDuration, 1, 2, 5000, 0, 1, folderText().c_str(), "b.csv"), 0);
    const size_t started = service.requests().size();
    service.replyBinary(pointPayload({{1, 1}}));
    ASSERT_EQ(ci_stop_tof_analysis(handle), 0);

    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), started + 2);
    EXPECT_EQ(requests[started],
              "{\"cmd\":\"fetch_processdata\",\"stability_metric_type\":0,\"start_chan\":-1,\"stop_chan\":-1}\n");
    EXPECT_EQ(requests[started + 1], "{\"cmd\":\"stop_tof_analysis\"}\n");
    EXPECT_FALSE(fs::exists(folder() / "b_cross_correlation.csv"));
    EXPECT_EQ(veltest::readTextFile(folder() / "a_cross_correlation.csv"), kG2Header);
}

TEST_F(TimeOfFlight, FileNameWithoutExtensionGetsATimestamp) {
    ASSERT_EQ(ci_tof_analysis(handle, kLongDuration, 1, 2, 5000, 0, 1, folderText().c_str(), "run"), 0);
    const auto files = filesIn(folder());
    ASSERT_EQ(files.size(), 1u);
    const std::string name = files[0].filename().string();
    // run_counts_YYYYMMDDhhmmss.csv
    ASSERT_EQ(name.size(), std::string("run_counts_YYYYMMDDhhmmss.csv").size());
    EXPECT_EQ(name.substr(0, 11), "run_counts_");
    EXPECT_EQ(name.find_first_not_of("0123456789", 11), 25u);
    EXPECT_EQ(name.substr(25), ".csv");
}

TEST_F(TimeOfFlight, FetchesGiveTheCurvesAsArrays) {
    service.replyBinary(pointPayload({{-0.5, 2.5}, {1.49, 7}}));
    int count = -1;
    int64_t* counts = ci_fetch_tof_processdata(handle, &count);
    ASSERT_NE(counts, nullptr);
    ASSERT_EQ(count, 2);
    EXPECT_EQ((std::vector<int64_t>(counts, counts + 4)), (std::vector<int64_t>{-1, 3, 1, 7}));
    ci_free_int64_data(counts);
    EXPECT_EQ(onlyRequest(), "{\"cmd\":\"fetch_processdata\"}\n");

    service.replyBinary(pointPayload({{-0.5, 0.97}, {std::numeric_limits<double>::infinity(), 1}}));
    double* g2 = ci_fetch_cross_correlation_data(handle, &count);
    ASSERT_NE(g2, nullptr);
    ASSERT_EQ(count, 2);
    EXPECT_EQ((std::vector<double>(g2, g2 + 4)), (std::vector<double>{-0.5, 0.97, 0, 0}));
    std::free(g2);
    EXPECT_EQ(service.requests().back(), "{\"cmd\":\"fetch_cross_correlation_data\"}\n");
}

TEST_F(TimeOfFlight, FetchesGiveNullForEmptyMalformedOrRefusedLists) {
    int count = -1;
    service.replyBinary(pointPayload({}));
    EXPECT_EQ(ci_fetch_tof_processdata(handle, &count), nullptr);
    EXPECT_EQ(count, 0);
    service.replyBinary(pointPayload({{1, 2}, {3, 4}}, 3));
    EXPECT_EQ(ci_fetch_cross_correlation_data(handle, &count), nullptr);
    EXPECT_TRUE(log.errors().empty());
    service.replyJson({{"result", -1}});
    EXPECT_EQ(ci_fetch_cross_correlation_data(handle, &count), nullptr);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Fetch analysis data failed"});
    EXPECT_EQ(ci_fetch_tof_processdata(handle + 1000, nullptr), nullptr);

    log.clear();
    service.stop();
    EXPECT_EQ(ci_fetch_tof_processdata(handle, &count), nullptr);
    EXPECT_EQ(count, 0);
    ASSERT_EQ(log.errors().size(), 1u);
    EXPECT_EQ(log.errors()[0].rfind("Fetch analysis data exception: ", 0), 0u);
}

}  // namespace
