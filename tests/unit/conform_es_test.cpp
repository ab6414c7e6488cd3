// The coincidence-gated energy analysis against a scripted service: its
// checks in order, the request, the three files named after the lower and
// higher channel, and the saver's order and failures at stop.

#include "point_payload.h"
#include "support/service_session.h"

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using veltest::pointPayload;

constexpr int kLongDuration = 3600;

struct GatedRun {
    int duration = kLongDuration, ch1 = 1, ch2 = 3, adIntegrationPoint = 20, areaScale = 2;
    int min1 = 0, max1 = 1, min2 = 10, max2 = 500, coinsTimeWindow = 400, avgTimes = 1;
};

class ConformEs : public veltest::ServiceSessionTest {
protected:
    fs::path folder() const { return dir.path() / "gated"; }
    std::string folderText() const { return folder().string(); }

    int start(const GatedRun& run, const char* fileName = nullptr) {
        return ci_conform_es_analysis(handle, run.duration, run.ch1, run.ch2, run.adIntegrationPoint, run.areaScale,
                                      run.min1, run.max1, run.min2, run.max2, run.coinsTimeWindow, run.avgTimes,
                                      folderText().c_str(), fileName);
    }

    // The only error a refused start logs.
    std::string refusal(const GatedRun& run) {
        log.clear();
        EXPECT_EQ(start(run), -1);
        const auto errors = log.errors();
        return errors.size() == 1 ? errors[0] : "<" + std::to_string(errors.size()) + " errors>";
    }
};

TEST_F(ConformEs, ChecksRunInOrderAndTheFirstFailureDecides) {
    const auto with = [](auto change) {
        GatedRun run;
        change(run);
        return run;
    };
    const std::string channels = "Please specify two valid channels";
    EXPECT_EQ(refusal(with([](GatedRun& r) { r.ch1 = r.ch2 = 3; })), channels);
    EXPECT_EQ(refusal(with([](GatedRun& r) { r.ch1 = -1; })), channels);
    EXPECT_EQ(refusal(with([](GatedRun& r) {
                  r.ch2 = -3;
                  r.adIntegrationPoint = 0;
              })),
              channels);
    EXPECT_EQ(refusal(with([](GatedRun& r) { r.ch2 = 4; })), "Only support odd numbered channels");
    EXPECT_EQ(refusal(with([](GatedRun& r) {
                  r.ch1 = 2;
                  r.coinsTimeWindow = 0;
              })),
              "Only support odd numbered channels");
    EXPECT_EQ(refusal(with([](GatedRun& r) {
                  r.adIntegrationPoint = 0;
                  r.coinsTimeWindow = 0;
              })),
              "Invalid A/D integration point value");
    EXPECT_EQ(refusal(with([](GatedRun& r) {
                  r.coinsTimeWindow = -1;
                  r.min1 = -1;
              })),
              "Invalid coins time window value");
    const std::string window = "Invalid energy window value";
    EXPECT_EQ(refusal(with([](GatedRun& r) { r.min1 = r.max1 = 5; })), window);
    EXPECT_EQ(refusal(with([](GatedRun& r) { r.min2 = -1; })), window);
    EXPECT_EQ(refusal(with([](GatedRun& r) { r.min2 = 600; })), window);

    log.clear();
    EXPECT_EQ(start(with([](GatedRun& r) { r.duration = 0; })), -1);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(ConformEs, RequestCarriesTheWindowsAfterTheAveragingAndUncheckedValues) {
    GatedRun run;
    run.ch1 = 5;
    run.avgTimes = -2;
    run.areaScale = -7;
    ASSERT_EQ(start(run), 0);
    EXPECT_EQ(onlyRequest(),
              "{\"ad_integration_point\":20,\"area_scale\":-7,\"avg_times\":-2,\"ch1\":5,\"ch2\":3,"
              "\"cmd\":\"conform_es_analysis\",\"coins_time_window\":400,\"duration\":3600,"
              "\"energy_window_max1\":1,\"energy_window_max2\":500,\"energy_window_min1\":0,"
              "\"energy_window_min2\":10}\n");
    // Without a file name the stop saves nothing and reports the stop command's answer.
    service.replyJson({{"result", 4}});
    EXPECT_EQ(ci_stop_conform_es_analysis(handle), -1);
    EXPECT_EQ(service.requests().size(), 2u);
    EXPECT_EQ(service.requests().back(), "{\"cmd\":\"stop_conform_es_analysis\"}\n");
    EXPECT_FALSE(fs::exists(folder()));
}

TEST_F(ConformEs, AreaOneIsTheLowerChannelAndTheStopFillsTheThreeFilesInOrder) {
    GatedRun run;
    run.ch1 = 5;
    run.ch2 = 3;
    ASSERT_EQ(start(run, "F.csv"), 0);
    EXPECT_EQ(veltest::readTextFile(folder() / "F.csv"), "tdiff, counts\n");
    EXPECT_EQ(veltest::readTextFile(folder() / "F_ch3.csv"), "adc, counts\n");
    EXPECT_EQ(veltest::readTextFile(folder() / "F_ch5.csv"), "adc, counts\n");

    service.replyBinary(pointPayload({{-100, 2}}));
    service.replyBinary(pointPayload({{300, 5}}));
    service.replyBinary(pointPayload({{662, 40}}));
    ASSERT_EQ(ci_stop_conform_es_analysis(handle), 0);
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 5u);
    const std::string keys = "\"stability_metric_type\":0,\"start_chan\":-1,\"stop_chan\":-1}\n";
    EXPECT_EQ(requests[1], "{\"cmd\":\"fetch_processdata\"," + keys);
    EXPECT_EQ(requests[2], "{\"cmd\":\"fetch_ces_area1_processdata\"," + keys);
    EXPECT_EQ(requests[3], "{\"cmd\":\"fetch_ces_area2_processdata\"," + keys);
    EXPECT_EQ(requests[4], "{\"cmd\":\"stop_conform_es_analysis\"}\n");
    EXPECT_EQ(veltest::readTextFile(folder() / "F.csv"), "tdiff, counts\n" + veltest::dataLines("-100,2\n"));
    EXPECT_EQ(veltest::readTextFile(folder() / "F_ch3.csv"), "adc, counts\n" + veltest::dataLines("300,5\n"));
    EXPECT_EQ(veltest::readTextFile(folder() / "F_ch5.csv"), "adc, counts\n" + veltest::dataLines("662,40\n"));
}

TEST_F(ConformEs, FailedHistogramSaveLeavesTheAreaFilesUntouched) {
    ASSERT_EQ(start(GatedRun{}, "G.csv"), 0);
    service.replyJson({{"result", -1}});
    EXPECT_EQ(ci_stop_conform_es_analysis(handle), -1);
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 3u);  // the stop command still goes out
    EXPECT_EQ(requests[2], "{\"cmd\":\"stop_conform_es_analysis\"}\n");
    EXPECT_EQ(veltest::readTextFile(folder() / "G_ch1.csv"), "adc, counts\n");
    EXPECT_EQ(veltest::readTextFile(folder() / "G_ch3.csv"), "adc, counts\n");
    const auto errors = log.errors();
    EXPECT_NE(std::find(errors.begin(), errors.end(), "Save process data to file failed for conform es analysis"),
              errors.end());
}

TEST_F(ConformEs, AreaFetchesSendTheirCommands) {
    service.replyBinary(pointPayload({{10.5, 2.5}, {-0.5, 1}}));
    service.replyBinary(pointPayload({{7, 8}}));
    int count = -1;
    int64_t* area1 = ci_fetch_conform_es_area1_processdata(handle, &count);
    ASSERT_NE(area1, nullptr);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::vector<int64_t>(area1, area1 + 4), (std::vector<int64_t>{11, 3, -1, 1}));
    ci_free_int64_data(area1);
    int64_t* area2 = ci_fetch_conform_es_area2_processdata(handle, &count);
    ASSERT_NE(area2, nullptr);
    EXPECT_EQ(count, 1);
    ci_free_int64_data(area2);
    EXPECT_EQ(service.requests(), (std::vector<std::string>{"{\"cmd\":\"fetch_ces_area1_processdata\"}\n",
                                                            "{\"cmd\":\"fetch_ces_area2_processdata\"}\n"}));
}

}  // namespace
