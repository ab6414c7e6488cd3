// The period analysis and its stability curves against a scripted service:
// the start request and its sampling-interval rules, the six files, what the
// stop saves in which order, and the stability fetch with its texts.

#include "api/session_registry.h"
#include "point_payload.h"
#include "support/service_session.h"

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using veltest::pointPayload;

constexpr int kLongDuration = 3600;

class PeriodAnalysis : public veltest::ServiceSessionTest {
protected:
    fs::path folder() const { return dir.path() / "period"; }
    std::string folderText() const { return folder().string(); }

    int start(int duration, int samplingInterval, const char* fileName) {
        return ci_period_analysis(handle, duration, 3, 4, 5, 6, 1e7, samplingInterval, 7, folderText().c_str(),
                                  fileName);
    }

    // The raw cache thread's first fetch gets the default JSON reply and the
    // thread ends: afterwards only the test's own calls reach the service.
    void letRawThreadEnd() {
        log.expectError("Fetch raw data failed");
        log.expectError("Fetch raw analysis failed, stopping period analysis thread");
        service.waitForRequests(2);
    }
};

TEST_F(PeriodAnalysis, StartSendsEveryKeyAndPreparesTheSixFiles) {
    ASSERT_EQ(start(kLongDuration, 250, "clock.csv"), 0);
    letRawThreadEnd();
    const auto requests = service.requests();
    EXPECT_EQ(requests[0],
              "{\"analysis_length\":6,\"average_num\":5,\"cmd\":\"period_analysis\",\"decade_points\":4,"
              "\"decades\":3,\"duration\":3600,\"fnom_hz\":10000000.0,\"sampling_interval\":250,"
              "\"sampling_num\":7}\n");
    EXPECT_EQ(requests[1], "{\"cmd\":\"fetch_analysis_rawdata\"}\n");
    const std::vector<std::pair<const char*, const char*>> files = {{"clock_period.csv", "cycle_index, period(ps)\n"},
                                                                    {"clock_counts.csv", "period(ps), counts\n"},
                                                                    {"clock_adev.csv", "tau(s), adev\n"},
                                                                    {"clock_mdev.csv", "tau(s), mdev\n"},
                                                                    {"clock_tdev.csv", "tau(s), tdev\n"},
                                                                    {"clock_hdev.csv", "tau(s), hdev\n"}};
    for (const auto& [name, header] : files) {
        EXPECT_EQ(veltest::readTextFile(folder() / name), header) << name;
    }
}

TEST_F(PeriodAnalysis, SamplingIntervalMayNotExceedTheRunAndDefaultsToTenMilliseconds) {
    EXPECT_EQ(start(1, 1001, nullptr), -1);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{"Invalid sampling interval specified"}));
    EXPECT_EQ(start(0, 0, nullptr), -1);
    EXPECT_TRUE(service.requests().empty());

    ASSERT_EQ(start(1, 1000, nullptr), 0);
    EXPECT_NE(service.requests()[0].find("\"sampling_interval\":1000,"), std::string::npos);
    ASSERT_EQ(ci_stop_period_analysis(handle), 0);

    const size_t before = service.requests().size();
    ASSERT_EQ(start(kLongDuration, 0, nullptr), 0);
    EXPECT_NE(service.requests()[before].find("\"sampling_interval\":10,"), std::string::npos);
    ASSERT_EQ(start(kLongDuration, -5, nullptr), 0);
}

TEST_F(PeriodAnalysis, StopSavesTheHistogramThenTheFourDeviationsThenStops) {
    ASSERT_EQ(start(kLongDuration, 1000, "clock.csv"), 0);
    letRawThreadEnd();
    service.replyBinary(pointPayload({{100000, 12}, {100001, 30}}));
    for (int type = 0; type < 4; ++type) {
        service.replyBinary(pointPayload({{0.001, 1e-9 * (type + 1)}, {0.01, 2e-10}}));
    }
    ASSERT_EQ(ci_stop_period_analysis(handle), 0);

    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 8u);
    EXPECT_EQ(requests[2],
              "{\"cmd\":\"fetch_processdata\",\"stability_metric_type\":0,\"start_chan\":-1,\"stop_chan\":-1}\n");
    for (int type = 0; type < 4; ++type) {
        EXPECT_EQ(requests[3 + type], "{\"cmd\":\"fetch_period_stability_metric\",\"stability_metric_type\":" +
                                          std::to_string(type) + ",\"start_chan\":-1,\"stop_chan\":-1}\n");
    }
    EXPECT_EQ(requests[7], "{\"cmd\":\"stop_period_analysis\"}\n");
    EXPECT_EQ(veltest::readTextFile(folder() / "clock_counts.csv"), "period(ps), counts\n" + veltest::dataLines("100000,12\n100001,30\n"));
    EXPECT_EQ(veltest::readTextFile(folder() / "clock_adev.csv"), "tau(s), adev\n" + veltest::dataLines("0.001,1e-09\n0.01,2e-10\n"));
    EXPECT_EQ(veltest::readTextFile(folder() / "clock_hdev.csv"), "tau(s), hdev\n" + veltest::dataLines("0.001,4e-09\n0.01,2e-10\n"));
}

TEST_F(PeriodAnalysis, RunWithoutFilesNeverWritesIntoAnEarlierRunsFiles) {
    log.expectError("Fetch process data failed");
    log.expectError("Save process data to file failed for analysis type:6");
    ASSERT_EQ(start(kLongDuration, 1000, "first.csv"), 0);
    letRawThreadEnd();
    ASSERT_EQ(ci_stop_period_analysis(handle), -1);  // every save meets the default JSON reply
    const std::string adevBefore = veltest::readTextFile(folder() / "first_adev.csv");

    const size_t before = service.requests().size();
    ASSERT_EQ(start(kLongDuration, 1000, nullptr), 0);
    service.waitForRequests(before + 2);
    ASSERT_EQ(ci_stop_period_analysis(handle), 0);
    // Nothing was fetched for files: only the start, the raw fetch and the stop.
    EXPECT_EQ(service.requests().size(), before + 3);
    EXPECT_EQ(service.requests().back(), "{\"cmd\":\"stop_period_analysis\"}\n");
    EXPECT_EQ(veltest::readTextFile(folder() / "first_adev.csv"), adevBefore);
}

TEST_F(PeriodAnalysis, StabilityFetchForwardsAnyTypeAndKeepsNonFiniteAsZero) {
    service.replyBinary(pointPayload({{0.5, 3.25e-11}, {std::numeric_limits<double>::infinity(), 1}, {2, 4.5e-12}}));
    int count = -1;
    double* values = ci_fetch_period_stability_metric(handle, 7, &count);
    ASSERT_NE(values, nullptr);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(std::vector<double>(values, values + 6), (std::vector<double>{0.5, 3.25e-11, 0, 0, 2, 4.5e-12}));
    ci_free_int64_data(values);
    EXPECT_EQ(onlyRequest(), "{\"cmd\":\"fetch_period_stability_metric\",\"stability_metric_type\":7}\n");

    service.replyJson({{"result", -1}});
    EXPECT_EQ(ci_fetch_period_stability_metric(handle, 0, &count), nullptr);
    EXPECT_EQ(count, 0);
    service.replyBinary(pointPayload({{1, 1}}, 2));
    EXPECT_EQ(ci_fetch_period_stability_metric(handle, 0, &count), nullptr);
    service.closeOnRequest();
    EXPECT_EQ(ci_fetch_period_stability_metric(handle, 0, &count), nullptr);
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "Fetch period stability metric data failed");
    EXPECT_EQ(errors[1].rfind("Fetch period stability metric data exception: ", 0), 0u) << errors[1];
}

}  // namespace
