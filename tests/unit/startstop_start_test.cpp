// Starting a start-stop analysis against a scripted service: the exact start
// requests of both variants, the argument checks in their order, the strict
// reading of the JSON texts, and what the start leaves in the session.

#include "analysis/analysis_control.h"
#include "api/session_registry.h"
#include "support/service_session.h"

#include <string>
#include <vector>

namespace {

using ChanGroups = std::unordered_map<int32_t, std::vector<int32_t>>;

// Long enough that only a stop ends a run within a test.
constexpr int kLongDuration = 3600;

class StartStopStart : public veltest::ServiceSessionTest {
protected:
    void TearDown() override {
        vel::analysis::stopAnalysisThreads(context(), session().analysis);
        ServiceSessionTest::TearDown();
    }
    vel::AnalysisState& state() { return vel::SessionRegistry::lookup(handle)->analysis; }
    ChanGroups chanGroups() {
        std::lock_guard<std::mutex> lock(state().pathMutex);
        return state().startstopChanGroups;
    }
    int startJson(const char* chanGroups, const char* dualGroups) {
        return ci_startstop_analysis_json(handle, kLongDuration, chanGroups, dualGroups, 100, 0, nullptr, nullptr);
    }
};

TEST_F(StartStopStart, SendsGroupsKeyedByStartChannelWithTheLastGroupOfAChannelWinning) {
    const int32_t stopsA[] = {2, 3};
    const int32_t stopsB[] = {-5};
    const int32_t stopsC[] = {7, 8, 9};
    const CHAN_GROUP groups[] = {{1, stopsA, 2}, {4, nullptr, 0}, {-3, stopsB, 1}, {1, stopsC, 3}};
    ASSERT_EQ(ci_startstop_analysis(handle, kLongDuration, groups, 4, nullptr, 0, 2500, 1, nullptr, nullptr), 0);

    EXPECT_EQ(onlyRequest(),
              "{\"chan_groups\":{\"-3\":[-5],\"1\":[7,8,9],\"4\":[]},\"cmd\":\"startstop_analysis\","
              "\"coins_time_window\":2500,\"dual_stops_groups\":{},\"duration\":3600,\"enable_t3_data\":1,"
              "\"file_name\":\"\",\"folder_path\":\"\"}\n");
    EXPECT_EQ(chanGroups(), (ChanGroups{{1, {7, 8, 9}}, {4, {}}, {-3, {-5}}}));
    EXPECT_TRUE(state().t3Enabled);
    EXPECT_FALSE(state().t3ToFile);
    EXPECT_FALSE(state().analysisStopped);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(StartStopStart, SendsDualStopPairsAndFetchesThemPerStartChannel) {
    log.expectError("Fetch raw data failed");
    log.expectError("Fetch raw data failed, stopping start-stop analysis thread");
    const int32_t stops[] = {2};
    const CHAN_GROUP groups[] = {{1, stops, 1}};
    const DUAL_STOPS_GROUP duals[] = {{1, 2, 3}, {6, 7, 8}};
    const std::string folder = (dir.path() / "ss").string();
    ASSERT_EQ(ci_startstop_analysis(handle, kLongDuration, groups, 1, duals, 2, 100, 2, folder.c_str(), "run"), 0);

    service.waitForRequests(2);
    const auto requests = service.requests();
    EXPECT_EQ(requests[0],
              "{\"chan_groups\":{\"1\":[2]},\"cmd\":\"startstop_analysis\",\"coins_time_window\":100,"
              "\"dual_stops_groups\":{\"1\":[2,3],\"6\":[7,8]},\"duration\":3600,\"enable_t3_data\":2,"
              "\"file_name\":\"run\",\"folder_path\":\"" +
                  veltest::pathInJson(folder) + "\"}\n");
    EXPECT_EQ(requests[1], "{\"cmd\":\"fetch_startstop_dualstops_rawdata\",\"start_chan\":1}\n");
    EXPECT_FALSE(state().t3Enabled);  // only the flag value 1 keeps T3 records
    EXPECT_TRUE(state().t3ToFile);
    EXPECT_TRUE(state().rawWriterActive);
    {
        std::lock_guard<std::mutex> lock(state().pathMutex);
        EXPECT_EQ(state().analysisFolder, folder);
        EXPECT_EQ(state().analysisFileName, "run");
    }
}

TEST_F(StartStopStart, ChecksArgumentsInOrderAndSendsNothing) {
    const int32_t stops[] = {2};
    const CHAN_GROUP good[] = {{1, stops, 1}};
    const CHAN_GROUP nullStops[] = {{1, stops, 1}, {5, nullptr, 2}};
    const DUAL_STOPS_GROUP duals[] = {{1, 2, 3}};
    struct Case {
        int duration;
        const CHAN_GROUP* groups;
        int groupCount;
        const DUAL_STOPS_GROUP* dualGroups;
        int dualCount;
        int window;
        const char* message;  // null: nothing logged
    } cases[] = {
        {0, nullptr, 0, nullptr, 0, 0, nullptr},
        {-1, good, 1, duals, 1, 100, nullptr},
        {10, nullptr, 1, duals, 1, 0, "Please specify channel groups"},
        {10, good, 0, duals, 1, 100, "Please specify channel groups"},
        {10, good, 1, duals, 1, 0, "Invalid coins time window"},
        {10, nullStops, 2, duals, 1, 100, "Invalid chan group: stop_chans is null but chan_count > 0"},
        {10, good, 1, nullptr, 1, 100, "Invalid dual stops groups: dual_groups is null but dual_count > 0"},
    };
    for (const Case& c : cases) {
        log.clear();
        EXPECT_EQ(ci_startstop_analysis(handle, c.duration, c.groups, c.groupCount, c.dualGroups, c.dualCount, c.window,
                                        0, nullptr, nullptr),
                  -1);
        EXPECT_EQ(log.errors(), c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{})
            << (c.message ? c.message : "(none)");
    }
    EXPECT_EQ(ci_startstop_analysis(handle + 100, 10, good, 1, duals, 1, 100, 0, nullptr, nullptr), -1);
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(StartStopStart, ServiceCodeIsReturnedAndNoThreadStarts) {
    service.reply("{\"result\":5}\n");
    const int32_t stops[] = {2};
    const CHAN_GROUP groups[] = {{1, stops, 1}};
    const DUAL_STOPS_GROUP duals[] = {{1, 2, 3}};
    EXPECT_EQ(ci_startstop_analysis(handle, kLongDuration, groups, 1, duals, 1, 100, 0, nullptr, "run"), 5);
    EXPECT_FALSE(state().rawCacheThread.running());
    EXPECT_FALSE(state().rawWriterThread.running());
    EXPECT_FALSE(state().t3ToFile);
    EXPECT_EQ(service.requests().size(), 1u);
}

TEST_F(StartStopStart, JsonTextsAreSentAsParsedAndChannelsReadAsIntegers) {
    ASSERT_EQ(startJson(R"({"1": [2, 3.7, true, -4.9], "-2": []})", " {} "), 0);
    EXPECT_EQ(onlyRequest(),
              "{\"chan_groups\":{\"-2\":[],\"1\":[2,3.7,true,-4.9]},\"cmd\":\"startstop_analysis\","
              "\"coins_time_window\":100,\"dual_stops_groups\":{},\"duration\":3600,"
              "\"enable_t3_data\":0,\"file_name\":\"\",\"folder_path\":\"\"}\n");
    EXPECT_EQ(chanGroups(), (ChanGroups{{1, {2, 3, 1, -4}}, {-2, {}}}));
}

TEST_F(StartStopStart, JsonKeysAreReadLikeStoi) {
    ASSERT_EQ(startJson(R"({" 7x": [1], "+3": [2]})", R"({"  9 ": [1, 2]})"), 0);
    EXPECT_EQ(chanGroups(), (ChanGroups{{7, {1}}, {3, {2}}}));
    const auto start = nlohmann::json::parse(service.requests().front());
    EXPECT_EQ(start["dual_stops_groups"], nlohmann::json::parse(R"({"  9 ": [1, 2]})"));
}

TEST_F(StartStopStart, RejectsJsonTextsThatCannotBeReadAndSendsNothing) {
    const std::string chanFailed = "Parse chan_groups_json failed: ";
    const std::string dualFailed = "Parse dualstops_groups_json failed: ";
    struct Case {
        const char* chanGroups;
        const char* dualGroups;
        std::string message;  // the whole line, or a prefix ending in ": "
    } cases[] = {
        {nullptr, "{}", "Please specify channel groups"},
        {"", "{}", "Please specify channel groups"},
        {R"({"1": [2)", "{}", chanFailed},
        {R"({"abc": [2]})", "{}", chanFailed + "start channel key \"abc\" has no digits"},
        {R"({"99999999999": [2]})", "{}", chanFailed + "start channel key \"99999999999\" is out of the int range"},
        {R"({"1": [2, "3"]})", "{}", chanFailed + "channel \"3\" is not a number"},
        {R"({"1": [4294967296]})", "{}", chanFailed + "channel 4294967296 is out of the int range"},
        {R"({"1": 2})", "{}", chanFailed + "stop channels of start_chan 1 are not an array"},
        {"[[1, 2]]", "{}", chanFailed + "chan_groups_json must be a JSON object"},
        {R"({"1": [2]})", "", dualFailed},
        {R"({"1": [2]})", nullptr, dualFailed},
        {R"({"1": [2]})", R"({"x": [2, 3]})", dualFailed + "start channel key \"x\" has no digits"},
        {R"({"1": [2]})", R"({" 5": [5]})", "Invalid dual_stops_groups entry for start_chan:  5"},
        {R"({"1": [2]})", R"({"5": [5, 6, 7]})", "Invalid dual_stops_groups entry for start_chan: 5"},
        {R"({"1": [2]})", R"({"5": 6})", "Invalid dual_stops_groups entry for start_chan: 5"},
        {R"({"1": [2]})", R"({"5": [5, null]})", dualFailed + "channel null is not a number"},
    };
    for (const Case& c : cases) {
        log.clear();
        EXPECT_EQ(startJson(c.chanGroups, c.dualGroups), -1) << c.message;
        const auto errors = log.errors();
        ASSERT_EQ(errors.size(), 1u) << c.message;
        if (c.message.back() == ' ') {
            EXPECT_EQ(errors[0].rfind(c.message, 0), 0u) << errors[0];
            EXPECT_GT(errors[0].size(), c.message.size()) << errors[0];
        } else {
            EXPECT_EQ(errors[0], c.message);
        }
    }
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(StartStopStart, RejectedStartKeepsTheGroupsOfTheRunningAnalysis) {
    log.expectErrorContaining("Parse chan_groups_json failed: ");
    ASSERT_EQ(startJson(R"({"1": [2, 3]})", "{}"), 0);
    EXPECT_EQ(startJson(R"({"4": [5], "x": [6]})", "{}"), -1);
    EXPECT_EQ(chanGroups(), (ChanGroups{{1, {2, 3}}}));
    EXPECT_EQ(service.requests().size(), 1u);
}

}  // namespace
