// Starting an n-fold coincidence analysis and applying strategies against a
// scripted service: the exact requests, the checks in their order with their
// messages, and the strategy names the session keeps for its saver.

#include "analysis/analysis_control.h"
#include "api/session_registry.h"
#include "support/service_session.h"

#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

constexpr int kLongDuration = 3600;
const int32_t kChannelsAB[] = {1, 2};
const int32_t kChannelsC[] = {3, -4, 5};

class NCoincidenceStart : public veltest::ServiceSessionTest {
protected:
    vel::AnalysisState& state() { return vel::SessionRegistry::lookup(handle)->analysis; }
    Names names() {
        std::lock_guard<std::mutex> lock(state().pathMutex);
        return state().ncoinsStrategyNames;
    }
    int startJson(const char* text) {
        return ci_ncoins_analysis_json(handle, kLongDuration, text, 0, nullptr, nullptr);
    }
    // The one line logged and nothing sent.
    void expectRejected(int result, const std::string& message) {
        EXPECT_EQ(result, -1) << message;
        EXPECT_EQ(log.errors(), std::vector<std::string>{message});
        EXPECT_TRUE(service.requests().empty()) << message;
        log.clear();
    }
};

TEST_F(NCoincidenceStart, SendsTheStrategiesInOrderAndKeepsTheirNames) {
    const NCOINS_STRATEGY strategies[] = {{"AB", kChannelsAB, 2, 1}, {"C", kChannelsC, 3, 4}};
    ASSERT_EQ(ci_ncoins_analysis(handle, kLongDuration, strategies, 2, 1, "folder", "run"), 0);
    EXPECT_EQ(onlyRequest(),
              "{\"cmd\":\"ncoins_analysis\",\"duration\":3600,\"enable_raw_data\":1,\"file_name\":\"run\","
              "\"folder_path\":\"folder\",\"ncoins_strats\":[{\"channels\":[1,2],\"strategy_name\":\"AB\","
              "\"virtual_twin\":1},{\"channels\":[3,-4,5],\"strategy_name\":\"C\",\"virtual_twin\":4}]}\n");
    EXPECT_EQ(names(), (Names{"AB", "C"}));
    EXPECT_TRUE(state().ncoinsRawEnabled);
    EXPECT_TRUE(state().ncoinsRawToFile);
    EXPECT_FALSE(state().analysisStopped);
}

TEST_F(NCoincidenceStart, EmptyStrategyArrayStartsAndFailedStartKeepsRawRecordsWithTheLibrary) {
    const NCOINS_STRATEGY none[1] = {};
    ASSERT_EQ(ci_ncoins_analysis(handle, kLongDuration, none, 0, 2, nullptr, nullptr), 0);
    EXPECT_EQ(onlyRequest(), "{\"cmd\":\"ncoins_analysis\",\"duration\":3600,\"enable_raw_data\":2,\"file_name\":\"\","
                             "\"folder_path\":\"\",\"ncoins_strats\":[]}\n");
    EXPECT_TRUE(names().empty());
    EXPECT_FALSE(state().ncoinsRawEnabled);

    service.replyJson({{"result", 7}});
    EXPECT_EQ(ci_ncoins_analysis(handle, kLongDuration, none, 0, 1, nullptr, "run"), 7);
    EXPECT_TRUE(state().ncoinsRawEnabled);
    EXPECT_FALSE(state().ncoinsRawToFile);
}

TEST_F(NCoincidenceStart, ChecksStrategiesInOrderAndSendsNothing) {
    const NCOINS_STRATEGY good{"AB", kChannelsAB, 2, 1};
    const NCOINS_STRATEGY nullName{nullptr, kChannelsAB, 2, 1};
    const NCOINS_STRATEGY emptyName{"", kChannelsAB, 2, 1};
    const NCOINS_STRATEGY noChannels{"X", kChannelsAB, 0, 1};
    const NCOINS_STRATEGY nullChannels{"X", nullptr, 2, 1};
    const NCOINS_STRATEGY noTwin{"X", kChannelsAB, 2, 0};
    const NCOINS_STRATEGY allWrong{"", nullptr, 0, 0};
    const std::string name = "Invalid ncoins strategy: missing or invalid strategy_name";
    const std::string channels = "Invalid ncoins strategy: channels cannot null and chan_count must be great than 0";
    const std::string twin = "Invalid ncoins strategy: virtual_twin must be greater than 0";

    const NCOINS_STRATEGY list[] = {good, good};
    EXPECT_EQ(ci_ncoins_analysis(handle, 0, nullptr, -1, 0, nullptr, nullptr), -1);
    EXPECT_EQ(ci_ncoins_analysis(handle + 100, 10, list, 1, 0, nullptr, nullptr), -1);
    EXPECT_TRUE(log.errors().empty());
    expectRejected(ci_ncoins_analysis(handle, 10, nullptr, 1, 0, nullptr, nullptr), "Invalid ncoins strats specified");
    expectRejected(ci_ncoins_analysis(handle, 10, list, -1, 0, nullptr, nullptr), "Invalid ncoins strats specified");
    for (const auto& [strategy, message] : std::vector<std::pair<NCOINS_STRATEGY, std::string>>{
             {nullName, name}, {emptyName, name}, {noChannels, channels}, {nullChannels, channels},
             {noTwin, twin}, {allWrong, name}}) {
        const NCOINS_STRATEGY pair[] = {good, strategy};
        expectRejected(ci_ncoins_analysis(handle, 10, pair, 2, 0, nullptr, nullptr), message);
    }
}

TEST_F(NCoincidenceStart, RejectedStartKeepsTheNamesOfTheRunningAnalysis) {
    log.expectErrorContaining("Invalid ncoins strategy: ");
    ASSERT_EQ(startJson(R"([{"strategy_name":"A","channels":[1],"virtual_twin":1}])"), 0);
    EXPECT_EQ(startJson(R"([{"strategy_name":"B","channels":[1],"virtual_twin":1},{"strategy_name":"C"}])"), -1);
    const NCOINS_STRATEGY bad[] = {{"D", kChannelsAB, 2, 1}, {"E", kChannelsAB, 2, 0}};
    EXPECT_EQ(ci_ncoins_analysis(handle, kLongDuration, bad, 2, 0, nullptr, nullptr), -1);
    EXPECT_EQ(names(), (Names{"A"}));
}

TEST_F(NCoincidenceStart, JsonVariantSendsTheParsedArrayAndKeepsTheNames) {
    ASSERT_EQ(startJson(R"([{"virtual_twin": 2, "strategy_name": "A", "channels": [1, "x"], "extra": null},
                            {"strategy_name": "B", "channels": [7], "virtual_twin": 1}])"),
              0);
    EXPECT_EQ(onlyRequest(), "{\"cmd\":\"ncoins_analysis\",\"duration\":3600,\"enable_raw_data\":0,\"file_name\":\"\","
                             "\"folder_path\":\"\",\"ncoins_strats\":[{\"channels\":[1,\"x\"],\"extra\":null,"
                             "\"strategy_name\":\"A\",\"virtual_twin\":2},{\"channels\":[7],\"strategy_name\":\"B\","
                             "\"virtual_twin\":1}]}\n");
    EXPECT_EQ(names(), (Names{"A", "B"}));
}

TEST_F(NCoincidenceStart, JsonVariantChecksEachElement) {
    const std::string name = "Invalid ncoins strategy json: missing or invalid strategy_name";
    const std::string channels = "Invalid ncoins strategy: channels cannot be null and must contain at least one channel";
    const std::string twin = "Invalid ncoins strategy: virtual_twin must be greater than 0";
    const std::pair<const char*, std::string> cases[] = {
        {nullptr, "Please specify ncoins strats json"},
        {"", "Please specify ncoins strats json"},
        {R"({"strategy_name":"A","channels":[1],"virtual_twin":1})", "Invalid ncoins strats json: expected array"},
        {R"(["A"])", name},
        {R"([{"strategy_name":"","channels":[1],"virtual_twin":1}])", name},
        {R"([{"strategy_name":5,"channels":[1],"virtual_twin":1}])", name},
        {R"([{"strategy_name":"A","channels":[],"virtual_twin":1}])", channels},
        {R"([{"strategy_name":"A","channels":null,"virtual_twin":1}])", channels},
        {R"([{"strategy_name":"A","channels":[1]}])", twin},
        {R"([{"strategy_name":"A","channels":[1],"virtual_twin":2.0}])", twin},
        {R"([{"strategy_name":"A","channels":[1],"virtual_twin":0}])", twin},
        {R"([{"strategy_name":"A","channels":[1],"virtual_twin":-3}])", twin},
        {R"([{"strategy_name":"A","channels":[1],"virtual_twin":4294967297}])", twin},
        {R"([{"strategy_name":"A","channels":[1],"virtual_twin":true}])", twin},
    };
    for (const auto& [text, message] : cases) {
        expectRejected(startJson(text), message);
    }
    EXPECT_EQ(startJson("[{]"), -1);
    ASSERT_EQ(log.errors().size(), 1u);
    EXPECT_EQ(log.errors()[0].rfind("Invalid JSON format: ", 0), 0u) << log.errors()[0];
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(NCoincidenceStart, ApplyingChecksOnlyWhatItMustAndLeavesTheNames) {
    ASSERT_EQ(startJson(R"([{"strategy_name":"A","channels":[1],"virtual_twin":1}])"), 0);
    const NCOINS_STRATEGY loose[] = {{"", nullptr, 0, 0}, {"C", kChannelsC, 3, -1}};
    service.replyJson({{"result", 4}});
    EXPECT_EQ(ci_apply_ncoins_strategies(handle, loose, 2), 4);
    EXPECT_EQ(service.requests().back(),
              "{\"cmd\":\"apply_ncoins_strategies\",\"ncoins_strats\":[{\"channels\":[],\"strategy_name\":\"\","
              "\"virtual_twin\":0},{\"channels\":[3,-4,5],\"strategy_name\":\"C\",\"virtual_twin\":-1}]}\n");
    EXPECT_EQ(ci_apply_ncoins_strategies(handle, loose, 0), 0);
    EXPECT_EQ(service.requests().back(), "{\"cmd\":\"apply_ncoins_strategies\",\"ncoins_strats\":[]}\n");
    EXPECT_EQ(names(), (Names{"A"}));
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(NCoincidenceStart, ApplyingRejectsWhatCannotBeSent) {
    const NCOINS_STRATEGY nullName[] = {{"A", kChannelsAB, 2, 1}, {nullptr, kChannelsAB, 2, 1}};
    const NCOINS_STRATEGY nullChannels[] = {{"A", nullptr, 1, 1}};
    expectRejected(ci_apply_ncoins_strategies(handle, nullptr, 0), "Invalid ncoins strats specified");
    expectRejected(ci_apply_ncoins_strategies(handle, nullName, -1), "Invalid ncoins strats specified");
    expectRejected(ci_apply_ncoins_strategies(handle, nullName, 2), "Invalid ncoins strategy: strategy_name is null");
    expectRejected(ci_apply_ncoins_strategies(handle, nullChannels, 1),
                   "Invalid ncoins strategy: channels is null but chan_count > 0");
    EXPECT_EQ(ci_apply_ncoins_strategies(handle + 100, nullName, 1), -1);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(NCoincidenceStart, ApplyingJsonSendsTheTextAsParsed) {
    EXPECT_EQ(ci_apply_ncoins_strategies_json(handle, R"( {"any": [1, 2.5]} )"), 0);
    EXPECT_EQ(onlyRequest(), "{\"cmd\":\"apply_ncoins_strategies\",\"ncoins_strats\":{\"any\":[1,2.5]}}\n");
}

TEST_F(NCoincidenceStart, ApplyingJsonRejectsEmptyAndMalformedTexts) {
    expectRejected(ci_apply_ncoins_strategies_json(handle, nullptr), "Please specify ncoins strats json");
    expectRejected(ci_apply_ncoins_strategies_json(handle, ""), "Please specify ncoins strats json");
    EXPECT_EQ(ci_apply_ncoins_strategies_json(handle, "[1,"), -1);
    ASSERT_EQ(log.errors().size(), 1u);
    EXPECT_EQ(log.errors()[0].rfind("Invalid JSON format: ", 0), 0u) << log.errors()[0];
    EXPECT_TRUE(service.requests().empty());
}

}  // namespace
