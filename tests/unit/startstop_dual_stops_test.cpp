// The dual-stop pairs of a start-stop analysis: the recording thread fetching
// them per start channel, the raw writer putting every fetched pair into its
// channel's file (also when the analysis stops mid-recording), and the
// memory-mode fetch handing each pair out once, leftovers included.

#include "analysis/analysis_control.h"
#include "api/session_registry.h"
#include "point_payload.h"
#include "support/service_session.h"
#include "timestamped_file.h"

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
constexpr int kLongTimeoutMs = 60000;
const std::string kHeader = "x_stop_tdiff, y_stop_tdiff\n";
const nlohmann::json kStarted = {{"result", 0}};
const std::vector<std::string> kRecordingFailed = {"Fetch raw data failed",
                                                   "Fetch raw data failed, stopping start-stop analysis thread"};

std::string dualFetch(int startChan) {
    return "{\"cmd\":\"fetch_startstop_dualstops_rawdata\",\"start_chan\":" + std::to_string(startChan) + "}\n";
}

class StartStopDualStops : public veltest::ServiceSessionTest {
protected:
    void TearDown() override {
        vel::analysis::stopAnalysisThreads(context(), session().analysis);
        ServiceSessionTest::TearDown();
    }
    vel::AnalysisState& state() { return vel::SessionRegistry::lookup(handle)->analysis; }

    // Starts with dual stops on start channels 1 and 6 (1 named twice). The
    // start takes the first scripted reply, the recording thread the others.
    void start(const char* fileName) {
        const int32_t stops[] = {2};
        const CHAN_GROUP group{1, stops, 1};
        const DUAL_STOPS_GROUP duals[] = {{1, 2, 3}, {6, 7, 8}, {1, 2, 3}};
        ASSERT_EQ(ci_startstop_analysis(handle, kLongDuration, &group, 1, duals, 3, 100, 0, folder().string().c_str(),
                                        fileName),
                  0);
    }
    fs::path folder() const { return dir.path() / "dual"; }

    // Every pair the memory fetch hands out for startChan until it returns null.
    std::vector<int64_t> fetchAll(int startChan) {
        std::vector<int64_t> values;
        for (;;) {
            int count = -1;
            int64_t* pairs = ci_fetch_startstop_dualstops_rawdata(handle, startChan, &count, kLongTimeoutMs);
            if (!pairs) {
                EXPECT_EQ(count, 0);
                return values;
            }
            values.insert(values.end(), pairs, pairs + 2 * count);
            ci_free_int64_data(pairs);
        }
    }
};

TEST_F(StartStopDualStops, RecordingFetchesEachStartChannelOnceACycleAndWritesItsFile) {
    service.replyJson(kStarted);
    service.replyBinary(pointPayload({{1, -2}, {3.5, 4}}));  // channel 1
    service.replyBinary(pointPayload({{60, 61}}));           // channel 6
    service.replyBinary(pointPayload({}));                   // channel 1
    service.replyBinary(pointPayload({{62, 63}}));           // channel 6
    // Then the default JSON reply: the fetch fails and the recording ends.
    ASSERT_NO_FATAL_FAILURE(start("run"));
    service.waitForRequests(6);
    ASSERT_EQ(vel::analysis::stopAnalysisThreads(context(), session().analysis), 0);

    const auto requests = service.requests();
    EXPECT_EQ(std::vector<std::string>(requests.begin() + 1, requests.end()),
              (std::vector<std::string>{dualFetch(1), dualFetch(6), dualFetch(1), dualFetch(6), dualFetch(1)}));
    EXPECT_EQ(readTextFile(timestampedFile(folder(), "run_dual_stops_1")), kHeader + dataLines("1,-2\n3.5,4\n"));
    EXPECT_EQ(readTextFile(timestampedFile(folder(), "run_dual_stops_6")), kHeader + dataLines("60,61\n62,63\n"));
    EXPECT_EQ(veltest::fileNamesIn(folder()).size(), 2u);
    EXPECT_EQ(log.errors(), kRecordingFailed);
    std::lock_guard<std::mutex> lock(state().rawBufferMutex);
    EXPECT_TRUE(state().startstopRawBuffers.empty());
}

TEST_F(StartStopDualStops, StopDuringTheRecordingStillWritesEveryFetchedPair) {
    constexpr int kReplies = 2000;
    service.replyJson(kStarted);
    for (int i = 0; i < kReplies; ++i) {
        service.replyBinary(pointPayload({{static_cast<double>(i), static_cast<double>(-i)}}));
    }
    ASSERT_NO_FATAL_FAILURE(start("run"));
    service.waitForRequests(4);
    ASSERT_EQ(vel::analysis::stopAnalysisThreads(context(), session().analysis), 0);

    // Every fetch answered before the recording ended reached a file.
    const size_t fetches = service.requests().size() - 1;
    ASSERT_LT(fetches, static_cast<size_t>(kReplies));
    std::string channel1 = kHeader;
    std::string channel6 = kHeader;
    for (size_t i = 0; i < fetches; ++i) {
        (i % 2 == 0 ? channel1 : channel6) +=
            std::to_string(i) + "," + (i == 0 ? "0" : "-" + std::to_string(i)) + dataLines("\n");
    }
    EXPECT_EQ(readTextFile(timestampedFile(folder(), "run_dual_stops_1")), channel1);
    EXPECT_EQ(readTextFile(timestampedFile(folder(), "run_dual_stops_6")), channel6);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(StartStopDualStops, MemoryFetchHandsEachPairOutOnceAlsoAfterTheRecordingEnded) {
    service.replyJson(kStarted);
    service.replyBinary(pointPayload({{1, 10}, {2, 20}}));  // channel 1
    service.replyBinary(pointPayload({{6, 60}}));           // channel 6
    service.replyBinary(pointPayload({{3, 30.5}}));         // channel 1
    ASSERT_NO_FATAL_FAILURE(start(nullptr));
    service.waitForRequests(5);  // the fourth fetch fails: the recording ends

    EXPECT_EQ(fetchAll(1), (std::vector<int64_t>{1, 10, 2, 20, 3, 31}));
    EXPECT_EQ(fetchAll(6), (std::vector<int64_t>{6, 60}));
    int count = -1;
    EXPECT_EQ(ci_fetch_startstop_dualstops_rawdata(handle, 9, &count, kLongTimeoutMs), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(log.errors(), kRecordingFailed);
    EXPECT_FALSE(fs::exists(folder()));
}

TEST_F(StartStopDualStops, MemoryFetchGivesNothingInFileModeOrForUnknownHandles) {
    ASSERT_NO_FATAL_FAILURE(start("run"));
    int count = -1;
    EXPECT_EQ(ci_fetch_startstop_dualstops_rawdata(handle, 1, &count, kLongTimeoutMs), nullptr);
    EXPECT_EQ(count, 0);
    count = -1;
    EXPECT_EQ(ci_fetch_startstop_dualstops_rawdata(handle + 100, 1, &count, 0), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ci_fetch_startstop_dualstops_rawdata(handle, 1, nullptr, 0), nullptr);
}

TEST_F(StartStopDualStops, NextStartDropsThePairsLeftUnfetched) {
    log.expectError("Fetch raw data failed");
    log.expectError("Fetch raw data failed, stopping start-stop analysis thread");
    service.replyJson(kStarted);
    service.replyBinary(pointPayload({{1, 10}}));  // channel 1, then the recording fails
    ASSERT_NO_FATAL_FAILURE(start(nullptr));
    service.waitForRequests(3);
    ASSERT_EQ(vel::analysis::stopAnalysisThreads(context(), session().analysis), 0);

    const int32_t stops[] = {2};
    const CHAN_GROUP group{1, stops, 1};
    service.replyJson(kStarted);
    ASSERT_EQ(ci_startstop_analysis(handle, kLongDuration, &group, 1, nullptr, 0, 100, 0, nullptr, nullptr), 0);
    int count = -1;
    EXPECT_EQ(ci_fetch_startstop_dualstops_rawdata(handle, 1, &count, 0), nullptr);
    EXPECT_EQ(count, 0);
}

}  // namespace
