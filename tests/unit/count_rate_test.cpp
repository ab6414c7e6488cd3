// Count rates against a scripted service: the rate reads, and the timed
// recordings with their requests, files, save-once rules and failures.

#include "api/session_registry.h"
#include "support/service_session.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <ostream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using veltest::readTextFile;

const std::string kHeaderLine = "timestamp, channel_no, cps\n";
const std::string kRows = "20261208093015001,1,1500\n20261208093015001,2,980\n";
// A recording that only a stop ends within the test.
constexpr int kLongDuration = 3600;

// Every regular file below dir, in no particular order.
std::vector<fs::path> filesBelow(const fs::path& dir) {
    std::vector<fs::path> files;
    if (!fs::exists(dir)) {
        return files;
    }
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    return files;
}

// ------------------------------------------------------------------ reading

using CountRateReading = veltest::ServiceSessionTest;

TEST_F(CountRateReading, SendsTheChannelAndReturnsTheRate) {
    service.reply(R"({"result":0,"data":1500})" "\n");
    EXPECT_EQ(ci_get_single_cps(handle, 3), 1500);
    EXPECT_EQ(onlyRequest(), "{\"channel\":3,\"cmd\":\"get_single_cps\"}\n");

    service.reply(R"({"data":{"status":0,"value":42},"result":0})" "\n");
    EXPECT_EQ(ci_get_coins_cps(handle, 1), 42);
    EXPECT_EQ(service.requests().back(), "{\"channel\":1,\"cmd\":\"get_coins_cps\"}\n");
}

TEST_F(CountRateReading, ReturnsMinusOneForRejectedOrUnusableReplies) {
    for (const char* reply : {R"({"result":-1,"data":5})", R"({"result":0})",
                              R"({"result":0,"data":{"status":1,"value":5}})", R"({"result":0,"data":"5"})"}) {
        service.reply(std::string(reply) + "\n");
        EXPECT_EQ(ci_get_single_cps(handle, 0), -1) << reply;
    }
    EXPECT_TRUE(log.errors().empty());

    // A binary frame where JSON belongs is a failed call.
    service.replyBinary("1234");
    EXPECT_EQ(ci_get_coins_cps(handle, 0), -1);
    ASSERT_EQ(log.errors().size(), 1u);
    EXPECT_EQ(log.errors().front().rfind("Generic json call returned int value exception: ", 0), 0u);
}

TEST_F(CountRateReading, UnknownHandleSendsNothing) {
    EXPECT_EQ(ci_get_single_cps(handle + 100, 0), -1);
    EXPECT_EQ(ci_get_coins_cps(0, 0), -1);
    EXPECT_TRUE(service.requests().empty());
}

// ---------------------------------------------------------------- recording

// The two kinds of recording, which must behave alike with their own texts.
struct RecordingKind {
    const char* name;
    int (*start)(uint64_t, int, const char*, const char*);
    int (*stop)(uint64_t);
    const char* startRequest;
    const char* fetchRequest;
    const char* defaultFilePattern;
    const char* fetchFailure;
    const char* saveExceptionPrefix;
    const char* writeFailurePrefix;
};

const RecordingKind kSingle = {"Single",
                               ci_output_single_cps,
                               ci_stop_singlecps_recording,
                               "{\"cmd\":\"start_single_cps_recording\"}\n",
                               "{\"cmd\":\"get_singlecps_data\"}\n",
                               R"(single_cps_\d{14}\.csv)",
                               "Fetch single cps data failed",
                               "Stop single cps recording exception: ",
                               "Write single cps file failed: "};

const RecordingKind kCoins = {"Coins",
                              ci_output_coins_cps,
                              ci_stop_coinscps_recording,
                              "{\"cmd\":\"start_coins_cps_recording\"}\n",
                              "{\"cmd\":\"get_coinscps_data\"}\n",
                              R"(coins_cps_\d{14}\.csv)",
                              "Fetch coins cps data failed",
                              "Stop coins cps recording exception: ",
                              "Write coins cps file failed: "};

// Names the kind in test listings instead of dumping the record's bytes.
void PrintTo(const RecordingKind& kind, std::ostream* os) {
    *os << kind.name;
}

class CountRateRecording : public veltest::ServiceSessionTest,
                           public ::testing::WithParamInterface<RecordingKind> {
protected:
    int start(int duration, const char* folder = nullptr, const char* fileName = nullptr) {
        return GetParam().start(handle, duration, folder, fileName);
    }
    int stop() { return GetParam().stop(handle); }
    std::vector<std::string> requests() const { return service.requests(); }
};

TEST_P(CountRateRecording, StopDuringTheRunFetchesOnceAndWritesHeaderAndRows) {
    service.replyJson({{"result", 0}});
    service.replyBinary(kRows);
    ASSERT_EQ(start(kLongDuration, "runs", "rates.csv"), 0);
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(requests(), (std::vector<std::string>{GetParam().startRequest, GetParam().fetchRequest}));
    EXPECT_EQ(readTextFile(dir.path() / "runs" / "rates.csv"), kHeaderLine + kRows);

    // Stopping again finds the recording saved: nothing is sent.
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(requests().size(), 2u);
    EXPECT_TRUE(log.errors().empty());
}

TEST_P(CountRateRecording, TimerSavesAtTheEndUnderTheDefaultTimestampedName) {
    service.replyJson({{"result", 0}});
    service.replyBinary(kRows);
    ASSERT_EQ(start(1), 0);
    service.waitForRequests(2);  // the timer's fetch

    // The timer has taken the save: the stop only waits for it.
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(requests(), (std::vector<std::string>{GetParam().startRequest, GetParam().fetchRequest}));
    const auto files = filesBelow(dir.path() / "output");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(std::regex_match(files.front().filename().string(), std::regex(GetParam().defaultFilePattern)))
        << files.front();
    EXPECT_EQ(readTextFile(files.front()), kHeaderLine + kRows);
    EXPECT_TRUE(log.errors().empty());
}

TEST_P(CountRateRecording, NonPositiveDurationIsRefusedAndLeavesTheRunningRecordingAlone) {
    service.replyJson({{"result", 0}});
    service.replyBinary(kRows);
    ASSERT_EQ(start(kLongDuration, nullptr, "kept.csv"), 0);
    EXPECT_EQ(start(0, nullptr, "other.csv"), -1);
    EXPECT_EQ(start(-5, nullptr, "other.csv"), -1);
    EXPECT_EQ(requests().size(), 1u);

    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(readTextFile(dir.path() / "output" / "kept.csv"), kHeaderLine + kRows);
    EXPECT_FALSE(fs::exists(dir.path() / "output" / "other.csv"));
}

TEST_P(CountRateRecording, UnknownHandleSendsNothing) {
    EXPECT_EQ(GetParam().start(handle + 100, 5, nullptr, nullptr), -1);
    EXPECT_EQ(GetParam().stop(handle + 100), -1);
    EXPECT_EQ(GetParam().stop(0), -1);
    EXPECT_TRUE(requests().empty());
    EXPECT_TRUE(log.lines().empty());
}

TEST_P(CountRateRecording, RestartEndsTheEarlierRecordingWithoutSavingIt) {
    service.replyJson({{"result", 0}});
    service.replyJson({{"result", 0}});
    service.replyBinary(kRows);
    ASSERT_EQ(start(kLongDuration, nullptr, "first.csv"), 0);
    ASSERT_EQ(start(kLongDuration, nullptr, "second.csv"), 0);
    EXPECT_EQ(requests(), (std::vector<std::string>{GetParam().startRequest, GetParam().startRequest}));

    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(requests().size(), 3u);
    EXPECT_FALSE(fs::exists(dir.path() / "output" / "first.csv"));
    EXPECT_EQ(readTextFile(dir.path() / "output" / "second.csv"), kHeaderLine + kRows);
}

TEST_P(CountRateRecording, RefusedStartReturnsTheServiceCodeAndStartsNoTimer) {
    service.replyJson({{"result", 7}});
    EXPECT_EQ(start(1, nullptr, "refused.csv"), 7);
    EXPECT_EQ(requests().size(), 1u);

    // Nothing was recording, so a stop saves once, with the names given last.
    service.replyBinary("");
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(requests(), (std::vector<std::string>{GetParam().startRequest, GetParam().fetchRequest}));
    EXPECT_EQ(readTextFile(dir.path() / "output" / "refused.csv"), kHeaderLine);
}

TEST_P(CountRateRecording, StopWithoutRecordingSavesOnceUnderTheDefaultName) {
    service.replyBinary(kRows);
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(requests(), std::vector<std::string>{GetParam().fetchRequest});
    const auto files = filesBelow(dir.path() / "output");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(std::regex_match(files.front().filename().string(), std::regex(GetParam().defaultFilePattern)));
}

TEST_P(CountRateRecording, EmptyPayloadWritesOnlyTheHeaderLine) {
    service.replyJson({{"result", 0}});
    service.replyBinary("");
    ASSERT_EQ(start(kLongDuration, nullptr, "empty.csv"), 0);
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(readTextFile(dir.path() / "output" / "empty.csv"), kHeaderLine);
}

TEST_P(CountRateRecording, PayloadBytesAreStoredUnchanged) {
    // NUL bytes, CRLF and a missing final line feed pass through as they are.
    const std::string payload = std::string("1,0,5\r\n2,\0,6", 13);
    service.replyJson({{"result", 0}});
    service.replyBinary(payload);
    ASSERT_EQ(start(kLongDuration, nullptr, "raw.csv"), 0);
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(readTextFile(dir.path() / "output" / "raw.csv"), kHeaderLine + payload);
}

TEST_P(CountRateRecording, FetchAnsweredByJsonFailsAndIsNotRetried) {
    service.replyJson({{"result", 0}});
    service.replyJson({{"result", -1}});
    ASSERT_EQ(start(kLongDuration, nullptr, "none.csv"), 0);
    EXPECT_EQ(stop(), -1);
    EXPECT_EQ(log.errors(), std::vector<std::string>{GetParam().fetchFailure});
    EXPECT_FALSE(fs::exists(dir.path() / "output"));

    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(requests().size(), 2u);
}

TEST_P(CountRateRecording, TruncatedFrameFailsWithoutWritingAFile) {
    service.replyJson({{"result", 0}});
    service.replyThenClose(veltest::FakeService::lengthHeader(10) + "1,0,");
    ASSERT_EQ(start(kLongDuration, nullptr, "cut.csv"), 0);
    EXPECT_EQ(stop(), -1);
    EXPECT_EQ(log.errors(),
              std::vector<std::string>{std::string(GetParam().saveExceptionPrefix) + "Failed to read full binary data"});
    EXPECT_FALSE(fs::exists(dir.path() / "output"));
}

TEST_P(CountRateRecording, UnwritableFileFailsTheStopAndIsLogged) {
    // A regular file where the folder should be: the CSV file cannot be created.
    veltest::writeTextFile(dir.path() / "blocked", "x");
    service.replyJson({{"result", 0}});
    service.replyBinary(kRows);
    ASSERT_EQ(start(kLongDuration, "blocked", "rates.csv"), 0);
    EXPECT_EQ(stop(), -1);
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 1u);
    const std::string expected = std::string(GetParam().writeFailurePrefix) + (dir.path() / "blocked").string();
    EXPECT_EQ(errors.front(), expected + "/rates.csv");
}

TEST_P(CountRateRecording, UnwritableFileAtTheEndOfTheDurationIsLogged) {
    veltest::writeTextFile(dir.path() / "blocked", "x");
    service.replyJson({{"result", 0}});
    service.replyBinary(kRows);
    ASSERT_EQ(start(1, "blocked", "rates.csv"), 0);
    service.waitForRequests(2);
    EXPECT_EQ(stop(), 0);  // the timer took the save; its failure is in the log
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors.front().rfind(GetParam().writeFailurePrefix, 0), 0u);
}

TEST_P(CountRateRecording, ConcurrentStopsSaveExactlyOnce) {
    service.replyJson({{"result", 0}});
    service.replyBinary(kRows);
    ASSERT_EQ(start(kLongDuration, nullptr, "once.csv"), 0);
    int first = -2;
    int second = -2;
    std::thread other([&] { first = stop(); });
    second = stop();
    other.join();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(requests().size(), 2u);
    EXPECT_EQ(readTextFile(dir.path() / "output" / "once.csv"), kHeaderLine + kRows);
}

TEST_P(CountRateRecording, StopMeetingTheEndOfTheDurationSavesExactlyOnce) {
    service.replyJson({{"result", 0}});
    service.replyBinary(kRows);
    ASSERT_EQ(start(1, nullptr, "once.csv"), 0);
    // Around the deadline either side may win; the other must not save again.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(requests().size(), 2u);
    EXPECT_EQ(readTextFile(dir.path() / "output" / "once.csv"), kHeaderLine + kRows);
}

TEST_P(CountRateRecording, TimerOutlivingTheSessionEndsQuietlyAndFreesIt) {
    std::weak_ptr<InstInstance> session = vel::SessionRegistry::lookup(handle);
    ASSERT_EQ(start(1), 0);
    ci_destroy(handle);
    // The timer holds the last reference; it finds no session to save for and
    // frees the session on its own thread.
    while (!session.expired()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(requests().size(), 1u);
    EXPECT_TRUE(log.lines().empty());
}

INSTANTIATE_TEST_SUITE_P(Kinds, CountRateRecording, ::testing::Values(kSingle, kCoins),
                         [](const ::testing::TestParamInfo<RecordingKind>& info) { return info.param.name; });

// ------------------------------------------------------- both kinds at once

using CountRateRecordingKinds = veltest::ServiceSessionTest;

TEST_F(CountRateRecordingKinds, SingleAndCoincidenceRecordingsDoNotAffectEachOther) {
    service.replyJson({{"result", 0}});
    service.replyJson({{"result", 0}});
    service.replyBinary("coins rows\n");
    service.replyBinary("single rows\n");
    ASSERT_EQ(ci_output_single_cps(handle, kLongDuration, nullptr, "single.csv"), 0);
    ASSERT_EQ(ci_output_coins_cps(handle, kLongDuration, nullptr, "coins.csv"), 0);

    EXPECT_EQ(ci_stop_coinscps_recording(handle), 0);
    EXPECT_EQ(service.requests().back(), "{\"cmd\":\"get_coinscps_data\"}\n");
    EXPECT_FALSE(fs::exists(dir.path() / "output" / "single.csv"));

    EXPECT_EQ(ci_stop_singlecps_recording(handle), 0);
    EXPECT_EQ(service.requests().back(), "{\"cmd\":\"get_singlecps_data\"}\n");
    EXPECT_EQ(service.requests().size(), 4u);
    EXPECT_EQ(readTextFile(dir.path() / "output" / "coins.csv"), kHeaderLine + "coins rows\n");
    EXPECT_EQ(readTextFile(dir.path() / "output" / "single.csv"), kHeaderLine + "single rows\n");
}

}  // namespace
