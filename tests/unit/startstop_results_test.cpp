// The results of a start-stop analysis: the files its stop saves (one per
// pair, an average only for several stops, the "output" default folder, what
// a failed save abandons) and the processed-data fetches.

#include "analysis/analysis_control.h"
#include "point_payload.h"
#include "support/service_session.h"
#include "timestamped_file.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using veltest::dataLines;
using veltest::pointPayload;
using veltest::readTextFile;
using veltest::timestampedFile;

constexpr int kLongDuration = 3600;
const std::string kHeader = "tdiff, counts\n";
const std::string kStop = "{\"cmd\":\"stop_startstop_analysis\"}\n";

std::string pairFetch(int start, int stop) {
    return "{\"cmd\":\"fetch_startstop_processdata\",\"stability_metric_type\":0,\"start_chan\":" +
           std::to_string(start) + ",\"stop_chan\":" + std::to_string(stop) + "}\n";
}

std::string averageFetch(int start) {
    return "{\"cmd\":\"fetch_startstop_average_processdata\",\"stability_metric_type\":0,\"start_chan\":" +
           std::to_string(start) + ",\"stop_chan\":-1}\n";
}

class StartStopResults : public veltest::ServiceSessionTest {
protected:
    void TearDown() override {
        vel::analysis::stopAnalysisThreads(context(), session().analysis);
        ServiceSessionTest::TearDown();
    }
    // Starts with one group and no dual stops; the start takes the first reply.
    void start(int32_t startChan, std::vector<int32_t> stops, const char* folder, const char* fileName) {
        const CHAN_GROUP group{startChan, stops.data(), static_cast<int32_t>(stops.size())};
        service.replyJson({{"result", 0}});
        ASSERT_EQ(ci_startstop_analysis(handle, kLongDuration, &group, 1, nullptr, 0, 100, 0, folder, fileName), 0);
    }
    fs::path folder() const { return dir.path() / "ss"; }
};

TEST_F(StartStopResults, StopSavesEveryPairInOrderAndTheAverageOfSeveralStops) {
    start(2, {3, 4, 5}, folder().string().c_str(), "run");
    service.replyBinary(pointPayload({{-1.5, 10}, {1234567, 0.000012}}));
    service.replyBinary(pointPayload({}));
    service.replyBinary(pointPayload({{7, 8}}));
    service.replyBinary(pointPayload({{1, 2}, {3, 4}}));
    ASSERT_EQ(ci_stop_startstop_analysis(handle), 0);

    const auto requests = service.requests();
    EXPECT_EQ(std::vector<std::string>(requests.begin() + 1, requests.end()),
              (std::vector<std::string>{pairFetch(2, 3), pairFetch(2, 4), pairFetch(2, 5), averageFetch(2), kStop}));
    EXPECT_EQ(readTextFile(timestampedFile(folder(), "run_start_stop_2_3")),
              kHeader + dataLines("-1.5,10\n1.23457e+06,1.2e-05\n"));
    EXPECT_EQ(readTextFile(timestampedFile(folder(), "run_start_stop_2_4")), kHeader);
    EXPECT_EQ(readTextFile(timestampedFile(folder(), "run_start_stop_2_5")), kHeader + dataLines("7,8\n"));
    EXPECT_EQ(readTextFile(timestampedFile(folder(), "run_start_stop_2_average")), kHeader + dataLines("1,2\n3,4\n"));
    EXPECT_EQ(veltest::fileNamesIn(folder()).size(), 4u);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(StartStopResults, SingleStopGetsOnePairFileAndNoAverageInTheOutputFolder) {
    start(-7, {8}, nullptr, "run");
    service.replyBinary(pointPayload({{5, 6}}));
    ASSERT_EQ(ci_stop_startstop_analysis(handle), 0);

    EXPECT_EQ(service.requests().size(), 3u);
    EXPECT_EQ(service.requests()[1], pairFetch(-7, 8));
    const fs::path output = dir.path() / "output";
    EXPECT_EQ(veltest::fileNamesIn(output).size(), 1u);
    EXPECT_EQ(readTextFile(timestampedFile(output, "run_start_stop_-7_8")), kHeader + dataLines("5,6\n"));
}

TEST_F(StartStopResults, WithoutFileNameTheStopOnlyStops) {
    start(1, {2, 3}, folder().string().c_str(), nullptr);
    ASSERT_EQ(ci_stop_startstop_analysis(handle), 0);
    EXPECT_EQ(service.requests().back(), kStop);
    EXPECT_EQ(service.requests().size(), 2u);
    EXPECT_FALSE(fs::exists(folder()));
}

TEST_F(StartStopResults, FailedPairSaveAbandonsTheLaterStopsButNotTheAverage) {
    start(2, {3, 4, 5}, folder().string().c_str(), "run");
    service.replyJson({{"result", -1}});
    service.replyBinary(pointPayload({{1, 2}}));
    // The average saved last succeeds, so the stop succeeds.
    ASSERT_EQ(ci_stop_startstop_analysis(handle), 0);

    const auto requests = service.requests();
    EXPECT_EQ(std::vector<std::string>(requests.begin() + 1, requests.end()),
              (std::vector<std::string>{pairFetch(2, 3), averageFetch(2), kStop}));
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{"Fetch process data failed",
                                        "Save process data to file failed for start-stop analysis: start_chan-2, "
                                        "stop_chan-3"}));
    EXPECT_EQ(readTextFile(timestampedFile(folder(), "run_start_stop_2_3")), kHeader);
    EXPECT_EQ(readTextFile(timestampedFile(folder(), "run_start_stop_2_average")), kHeader + dataLines("1,2\n"));
}

TEST_F(StartStopResults, FailedLastSaveFailsTheStopButStillSendsIt) {
    start(2, {3, 4}, folder().string().c_str(), "run");
    service.replyBinary(pointPayload({{1, 2}}));
    service.replyBinary(pointPayload({{1, 2}}));
    service.replyJson({{"result", -1}});
    EXPECT_EQ(ci_stop_startstop_analysis(handle), -1);
    EXPECT_EQ(service.requests().back(), kStop);
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{"Fetch process data failed",
                                        "Save average process data to file failed for start-stop analysis: "
                                        "start_chan-2",
                                        "Save process data to file failed for analysis type:7"}));
}

TEST_F(StartStopResults, FetchesSendTheirChannelsAndRoundHalvesAwayFromZero) {
    service.replyBinary(pointPayload({{2.5, -2.5}, {0.49, 7}}));
    int count = -1;
    int64_t* pairs = ci_fetch_startstop_processdata(handle, 3, -4, &count);
    ASSERT_NE(pairs, nullptr);
    EXPECT_EQ(std::vector<int64_t>(pairs, pairs + 2 * count), (std::vector<int64_t>{3, -3, 0, 7}));
    ci_free_int64_data(pairs);
    EXPECT_EQ(onlyRequest(), "{\"cmd\":\"fetch_startstop_processdata\",\"start_chan\":3,\"stop_chan\":-4}\n");

    service.replyBinary(pointPayload({{1, 9}}));
    pairs = ci_fetch_startstop_average_processdata(handle, 6, nullptr);
    ASSERT_NE(pairs, nullptr);
    EXPECT_EQ(std::vector<int64_t>(pairs, pairs + 2), (std::vector<int64_t>{1, 9}));
    std::free(pairs);
    EXPECT_EQ(service.requests().back(), "{\"cmd\":\"fetch_startstop_average_processdata\",\"start_chan\":6}\n");
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(StartStopResults, FetchFailuresGiveNullWithTheirOwnMessages) {
    int count = -1;
    service.replyJson({{"result", 3}});
    EXPECT_EQ(ci_fetch_startstop_processdata(handle, 1, 2, &count), nullptr);
    EXPECT_EQ(count, 0);
    service.replyJson({{"result", 3}});
    EXPECT_EQ(ci_fetch_startstop_average_processdata(handle, 1, &count), nullptr);
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{"Fetch analysis process data failed for start-stop analysis",
                                        "Fetch analysis average process data failed for start-stop analysis"}));

    log.clear();
    service.replyBinary(pointPayload({{1, 2}}, 2));  // announces more points than it carries
    count = -1;
    EXPECT_EQ(ci_fetch_startstop_processdata(handle, 1, 2, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(log.errors().empty());

    count = -1;
    EXPECT_EQ(ci_fetch_startstop_average_processdata(handle + 100, 1, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(service.requests().size(), 3u);

    service.stop();
    EXPECT_EQ(ci_fetch_startstop_processdata(handle, 1, 2, &count), nullptr);
    EXPECT_EQ(ci_fetch_startstop_average_processdata(handle, 1, &count), nullptr);
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].rfind("Fetch start-stop process data exception: ", 0), 0u) << errors[0];
    EXPECT_EQ(errors[1].rfind("Fetch start-stop average process data exception: ", 0), 0u) << errors[1];
}

}  // namespace
