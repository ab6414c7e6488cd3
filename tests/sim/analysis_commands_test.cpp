// The analysis commands through the dispatcher: request keys and their result
// codes, the reply shapes the library reads, one run at a time, and the record
// files the simulator writes itself.
#include <filesystem>
#include <fstream>

#include "dispatcher_fixture.h"
#include "light_signal.h"

namespace veltrano::sim {
namespace {

namespace fs = std::filesystem;

const std::vector<std::uint8_t> kEmptyList{0, 0, 0, 0};

std::vector<std::uint8_t> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class AnalysisCommandsTest : public DispatcherFixture {
protected:
    AnalysisCommandsTest() { build(lightSignalConfig()); }

    static Json twoFold() { return Json::array({strategy("ab", {1, 2}, 4)}); }
};

TEST_F(AnalysisCommandsTest, TimeOfFlightStartChecksItsKeys) {
    const Json good = tof(1, 1, 2, 10000);
    EXPECT_EQ(call(without(good, "duration"))["result"], 3);
    EXPECT_EQ(call(without(good, "coins_time_window"))["result"], 3);
    EXPECT_EQ(call(withKey(good, "ch1", "1"))["result"], 3);
    EXPECT_EQ(call(withKey(good, "avg_times", 2.0))["result"], 3);
    EXPECT_EQ(call(withKey(good, "file_name", 5))["result"], 3);
    EXPECT_EQ(call(withKey(good, "ch2", 0))["result"], 4);
    EXPECT_EQ(call(withKey(good, "ch1", 5))["result"], 4);
    EXPECT_EQ(call(withKey(good, "duration", 0))["result"], 5);
    EXPECT_EQ(call(withKey(good, "coins_time_window", 0))["result"], 5);
    EXPECT_EQ(call(withKey(good, "coins_time_window", 1000000001))["result"], 5);
    EXPECT_EQ(call(withKey(good, "avg_times", 0))["result"], 5);
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Idle);
    EXPECT_EQ(call(good), (Json{{"result", 0}}));
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Running);
}

TEST_F(AnalysisCommandsTest, CrossCorrelationConfigChecksItsKeys) {
    const Json good = crossCorrelationConfig(0, 100, 1000, 1000);
    for (const char* key : {"virtual_twin", "bin_width", "dcr1", "dcr2"}) {
        EXPECT_EQ(call(without(good, key))["result"], 3) << key;
        EXPECT_EQ(call(withKey(good, key, "1"))["result"], 3) << key;
    }
    EXPECT_EQ(call(withKey(good, "bin_width", 0))["result"], 5);
    EXPECT_EQ(call(withKey(good, "dcr1", -1))["result"], 5);
    EXPECT_EQ(call(withKey(good, "virtual_twin", -1))["result"], 5);
    EXPECT_EQ(call(good), (Json{{"result", 0}}));
}

TEST_F(AnalysisCommandsTest, FetchesAnswerEmptyPointListsWithoutARunOfTheirKind) {
    EXPECT_EQ(binary(Json{{"cmd", "fetch_processdata"}}), kEmptyList);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_processdata"}, {"stability_metric_type", 0}, {"start_chan", -1},
                          {"stop_chan", -1}}),
              kEmptyList);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_cross_correlation_data"}}), kEmptyList);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_startstop_processdata"}, {"start_chan", 1}, {"stop_chan", 2}}), kEmptyList);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_startstop_average_processdata"}, {"start_chan", 1}}), kEmptyList);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_startstop_dualstops_rawdata"}, {"start_chan", 1}}), kEmptyList);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_ncoins_cps"}, {"strategy_index", 0}}), kEmptyList);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_ncoins_rawdata"}, {"strategy_index", 0}}), kEmptyList);
    // A time-of-flight run has no start-stop data and no coincidence strategies.
    ASSERT_EQ(call(tof(1, 1, 2, 10000))["result"], 0);
    pass(200);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_startstop_processdata"}, {"start_chan", 1}, {"stop_chan", 2}}), kEmptyList);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_ncoins_cps"}, {"strategy_index", 0}}), kEmptyList);
    // Malformed keys are refused as such.
    EXPECT_EQ(call(Json{{"cmd", "fetch_startstop_processdata"}, {"start_chan", 1}})["result"], 3);
    EXPECT_EQ(call(Json{{"cmd", "fetch_ncoins_cps"}, {"strategy_index", "0"}})["result"], 3);
}

TEST_F(AnalysisCommandsTest, EveryStopCommandAnswersOkWhetherOrNotItsKindRuns) {
    for (const char* stop : {"stop_tof_analysis", "stop_ad_analysis", "stop_tot_analysis", "stop_es_analysis",
                             "stop_conform_es_analysis", "stop_period_analysis", "stop_startstop_analysis",
                             "stop_ncoins_analysis", "stop_autocorrelation_analysis"}) {
        EXPECT_EQ(call(Json{{"cmd", stop}}), (Json{{"result", 0}})) << stop;
    }
    ASSERT_EQ(call(tof(10, 1, 2, 10000))["result"], 0);
    // Another kind's stop leaves the time-of-flight run alone; its own stops it.
    EXPECT_EQ(call(Json{{"cmd", "stop_startstop_analysis"}}), (Json{{"result", 0}}));
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Running);
    pass(300);
    EXPECT_EQ(call(Json{{"cmd", "stop_tof_analysis"}}), (Json{{"result", 0}}));
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Stopped);
    // The stopped run's data stays fetchable and no longer grows.
    const auto counts = points(Json{{"cmd", "fetch_processdata"}});
    pass(300);
    const auto later = points(Json{{"cmd", "fetch_processdata"}});
    ASSERT_EQ(counts.size(), later.size());
    for (std::size_t i = 0; i < counts.size(); ++i) EXPECT_EQ(counts[i].y, later[i].y);
}

TEST_F(AnalysisCommandsTest, ANewStartReplacesTheRunningAnalysisAndARefusedOneChangesNothing) {
    ASSERT_EQ(call(tof(10, 1, 2, 10000))["result"], 0);
    pass(200);
    EXPECT_EQ(call(startstop(0, Json{{"1", {2}}}, Json::object(), 1000))["result"], 5);
    EXPECT_NE(binary(Json{{"cmd", "fetch_cross_correlation_data"}}), kEmptyList);

    ASSERT_EQ(call(startstop(10, Json{{"1", {2}}}, Json::object(), 10000))["result"], 0);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_cross_correlation_data"}}), kEmptyList);
    pass(200);
    EXPECT_NE(binary(Json{{"cmd", "fetch_startstop_processdata"}, {"start_chan", 1}, {"stop_chan", 2}}), kEmptyList);
    EXPECT_EQ(call(Json{{"cmd", "reset_state"}})["result"], 0);
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Stopped);
}

TEST_F(AnalysisCommandsTest, ARunEndsAfterItsDurationAndKeepsItsData) {
    ASSERT_EQ(call(tof(1, 1, 2, 10000))["result"], 0);
    pass(900);
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Running);
    pass(200);
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Ended);
    const auto counts = points(Json{{"cmd", "fetch_processdata"}});
    pass(1000);
    EXPECT_EQ(points(Json{{"cmd", "fetch_processdata"}}).back().y, counts.back().y);
}

TEST_F(AnalysisCommandsTest, ClearAnalysisDataForgetsTheCountsSoFar) {
    EXPECT_EQ(call(Json{{"cmd", "clear_analysis_data"}}), (Json{{"result", 0}, {"data", {{"status", 0}, {"value", 0}}}}));
    ASSERT_EQ(call(ncoins(10, twoFold()))["result"], 0);
    pass(500);
    ASSERT_GT(points(Json{{"cmd", "fetch_processdata"}}).at(0).y, 1000);
    EXPECT_EQ(call(Json{{"cmd", "clear_analysis_data"}})["data"]["value"], 0);
    EXPECT_EQ(points(Json{{"cmd", "fetch_processdata"}}).at(0).y, 0);
    pass(100);
    // About 100 ms of pairs, not 600.
    EXPECT_LT(points(Json{{"cmd", "fetch_processdata"}}).at(0).y, 3 * kLightPairCps / 10);
}

TEST_F(AnalysisCommandsTest, StartStopStartChecksItsGroups) {
    const Json good = startstop(1, Json{{"1", {2, 3}}}, Json{{"1", {2, 3}}}, 10000);
    EXPECT_EQ(call(withKey(good, "chan_groups", Json::array({1, 2})))["result"], 3);
    EXPECT_EQ(call(withKey(good, "chan_groups", Json{{"one", {2}}}))["result"], 3);
    EXPECT_EQ(call(withKey(good, "chan_groups", Json{{"1x", {2}}}))["result"], 3);
    EXPECT_EQ(call(withKey(good, "chan_groups", Json{{"1", 2}}))["result"], 3);
    EXPECT_EQ(call(withKey(good, "chan_groups", Json{{"1", {"2"}}}))["result"], 3);
    EXPECT_EQ(call(withKey(good, "chan_groups", Json{{"1", {9}}}))["result"], 4);
    EXPECT_EQ(call(withKey(good, "chan_groups", Json{{"0", {2}}}))["result"], 4);
    EXPECT_EQ(call(withKey(good, "chan_groups", Json::object()))["result"], 5);
    EXPECT_EQ(call(withKey(good, "dual_stops_groups", Json{{"1", {2}}}))["result"], 3);
    EXPECT_EQ(call(withKey(good, "dual_stops_groups", Json{{"1", {2, 3, 4}}}))["result"], 3);
    EXPECT_EQ(call(withKey(good, "dual_stops_groups", Json{{"1", {2, 7}}}))["result"], 4);
    EXPECT_EQ(call(withKey(good, "coins_time_window", -5))["result"], 5);
    EXPECT_EQ(call(without(good, "chan_groups"))["result"], 3);
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Idle);
    EXPECT_EQ(call(without(good, "dual_stops_groups")), (Json{{"result", 0}}));
    // A start channel with no stops is accepted.
    EXPECT_EQ(call(withKey(good, "chan_groups", Json{{"1", Json::array()}, {"3", {4}}})), (Json{{"result", 0}}));
}

TEST_F(AnalysisCommandsTest, NCoincidenceStartChecksItsStrategies) {
    EXPECT_EQ(call(withKey(ncoins(1, twoFold()), "ncoins_strats", Json{{"a", 1}}))["result"], 3);
    EXPECT_EQ(call(ncoins(1, Json::array({1})))["result"], 3);
    EXPECT_EQ(call(ncoins(1, Json::array({Json{{"strategy_name", "a"}, {"channels", {1, 2}}}})))["result"], 3);
    Json fractional = strategy("a", {1, 2}, 1);
    fractional["virtual_twin"] = 2.0;
    EXPECT_EQ(call(ncoins(1, Json::array({fractional})))["result"], 3);
    EXPECT_EQ(call(ncoins(1, Json::array({strategy("a", {1, 2}, 0)})))["result"], 5);
    EXPECT_EQ(call(ncoins(1, Json::array({strategy("a", {}, 1)})))["result"], 5);
    EXPECT_EQ(call(ncoins(1, Json::array({strategy("a", {1, 1}, 1)})))["result"], 5);
    EXPECT_EQ(call(ncoins(1, Json::array({strategy("a", {1, 9}, 1)})))["result"], 4);
    EXPECT_EQ(call(ncoins(1, Json::array({strategy("a", {1, 2}, 1000001)})))["result"], 5);  // window beyond 1 ms
    EXPECT_EQ(call(withKey(ncoins(1, twoFold()), "enable_raw_data", true))["result"], 3);
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Idle);
    EXPECT_EQ(call(ncoins(1, twoFold())), (Json{{"result", 0}}));
}

TEST_F(AnalysisCommandsTest, AnEmptyStrategyListRunsTheAppliedStrategies) {
    EXPECT_EQ(call(Json{{"cmd", "apply_ncoins_strategies"}, {"ncoins_strats", Json::array({strategy("x", {1, 2}, 0)})}})["result"], 5);
    ASSERT_EQ(call(Json{{"cmd", "apply_ncoins_strategies"},
                        {"ncoins_strats", Json::array({strategy("a", {1, 2}, 4), strategy("b", {3}, 1)})}}),
              (Json{{"result", 0}}));
    ASSERT_EQ(call(ncoins(1, Json::array()))["result"], 0);
    pass(300);
    const auto totals = points(Json{{"cmd", "fetch_processdata"}});
    ASSERT_EQ(totals.size(), 2u);
    EXPECT_EQ(totals[1].x, 1);
    EXPECT_GT(totals[1].y, 0);
    // Applied while running, they replace the run's strategies.
    ASSERT_EQ(call(Json{{"cmd", "apply_ncoins_strategies"}, {"ncoins_strats", Json::array({strategy("c", {2}, 1)})}})["result"], 0);
    EXPECT_EQ(points(Json{{"cmd", "fetch_processdata"}}).size(), 1u);
}

TEST_F(AnalysisCommandsTest, CountRateQueriesAnswerTheShapesTheCallKindsRead) {
    EXPECT_EQ(call(Json{{"cmd", "get_ncoins_cps"}, {"strategy_index", 0}})["result"], 8);
    EXPECT_EQ(call(Json{{"cmd", "is_ncoins_analysis_processing"}}),
              (Json{{"result", 0}, {"data", {{"status", 0}, {"value", false}}}}));
    ASSERT_EQ(call(ncoins(1, twoFold()))["result"], 0);
    EXPECT_EQ(call(Json{{"cmd", "is_ncoins_analysis_processing"}})["data"]["value"], true);
    pass(1100);
    const Json cps = call(Json{{"cmd", "get_ncoins_cps"}, {"strategy_index", 0}});
    EXPECT_EQ(cps["result"], 0);
    EXPECT_EQ(cps["data"]["status"], 0);
    ASSERT_TRUE(cps["data"]["value"].is_number_integer());
    EXPECT_GT(cps["data"]["value"].get<int>(), 9000);
    EXPECT_EQ(call(Json{{"cmd", "get_ncoins_cps"}, {"strategy_index", 1}})["result"], 5);
    EXPECT_EQ(call(Json{{"cmd", "get_ncoins_cps"}, {"strategy_index", -3}})["result"], 5);
    EXPECT_EQ(call(Json{{"cmd", "get_ncoins_cps"}})["result"], 3);
    // Still processing shortly after the duration, then done.
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Ended);
    EXPECT_EQ(call(Json{{"cmd", "is_ncoins_analysis_processing"}})["data"]["value"], true);
    pass(500);
    EXPECT_EQ(call(Json{{"cmd", "is_ncoins_analysis_processing"}})["data"]["value"], false);
    // A stop ends the processing at once.
    ASSERT_EQ(call(ncoins(1, twoFold()))["result"], 0);
    EXPECT_EQ(call(Json{{"cmd", "stop_ncoins_analysis"}})["result"], 0);
    EXPECT_EQ(call(Json{{"cmd", "is_ncoins_analysis_processing"}})["data"]["value"], false);
}

TEST_F(AnalysisCommandsTest, NCoincidenceRawRecordsAreHandedOutOnce) {
    ASSERT_EQ(call(ncoins(1, twoFold(), 1))["result"], 0);
    pass(200);
    const std::vector<std::uint8_t> payload = binary(Json{{"cmd", "fetch_ncoins_rawdata"}, {"strategy_index", 0}});
    ASSERT_GE(payload.size(), 4u);
    const auto count = readLittleEndian<std::uint32_t>(payload.data());
    ASSERT_EQ(payload.size(), 4 + 32 * std::size_t{count});
    EXPECT_NEAR(count, kLightPairCps / 5, 5 * std::sqrt(kLightPairCps / 5) + 20);  // 200 ms of pairs
    std::int64_t previous = -1;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* r = payload.data() + 4 + 32 * i;
        const auto reference = readLittleEndian<std::int64_t>(r);
        EXPECT_GT(reference, previous);
        previous = reference;
        EXPECT_EQ(readLittleEndian<std::int32_t>(r + 8), 0);                       // strategy index
        EXPECT_LE(readLittleEndian<std::int64_t>(r + 12), 2000);                   // span within +-window/2
        EXPECT_EQ(readLittleEndian<std::int32_t>(r + 20), 2);                      // fold
        EXPECT_EQ(readLittleEndian<std::int64_t>(r + 24), static_cast<std::int64_t>(i));  // number
    }
    EXPECT_EQ(binary(Json{{"cmd", "fetch_ncoins_rawdata"}, {"strategy_index", 0}}), kEmptyList);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_ncoins_rawdata"}, {"strategy_index", 7}}), kEmptyList);

    ASSERT_EQ(call(ncoins(1, twoFold(), 0))["result"], 0);
    pass(200);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_ncoins_rawdata"}, {"strategy_index", 0}}), kEmptyList);
}

TEST_F(AnalysisCommandsTest, RunsWithAFileNameWriteTheirRecordFiles) {
    Json start = tof(1, 1, 2, 10000);
    start["enable_t3_data"] = 1;
    start["folder_path"] = "runs";
    start["file_name"] = "flight.csv";
    ASSERT_EQ(call(start)["result"], 0);
    pass(1100);
    const std::vector<std::uint8_t> t3 = fileBytes(dir_.path() / "runs" / "flight_t3.bin");
    ASSERT_EQ(t3.size() % 16, 0u);
    EXPECT_NEAR(static_cast<double>(t3.size() / 16), kLightPairCps, 5 * std::sqrt(kLightPairCps) + 50);
    for (std::size_t i = 0; i < t3.size(); i += 16) {
        EXPECT_EQ(readLittleEndian<std::int32_t>(&t3[i + 4]), 1);
        EXPECT_LE(std::abs(readLittleEndian<std::int32_t>(&t3[i + 8])), 10000);
        EXPECT_EQ(readLittleEndian<std::uint32_t>(&t3[i + 12]), 2u);
    }

    ASSERT_EQ(call(ncoins(1, twoFold(), 1, "pairs"))["result"], 0);
    pass(1100);
    EXPECT_EQ(binary(Json{{"cmd", "fetch_ncoins_rawdata"}, {"strategy_index", 0}}), kEmptyList);
    const auto rawSize = fs::file_size(dir_.path() / "pairs_ncoins_0.bin");
    EXPECT_EQ(rawSize % 32, 0u);
    EXPECT_EQ(static_cast<double>(rawSize / 32), points(Json{{"cmd", "fetch_processdata"}}).at(0).y);

    // A folder that is a file cannot hold them: nothing starts.
    veltest::writeTextFile(dir_.path() / "blocked", "x");
    EXPECT_EQ(call(withKey(withKey(start, "folder_path", "blocked"), "cmd", "tof_analysis"))["result"], 11);
    Json blocked = ncoins(1, twoFold(), 1, "x");
    blocked["folder_path"] = "blocked";
    EXPECT_EQ(call(blocked)["result"], 11);
    EXPECT_EQ(instrument_->analyses().state(), AnalysisState::Ended);
}

}  // namespace
}  // namespace veltrano::sim
