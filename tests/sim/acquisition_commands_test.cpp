// Acquisition, hex conversion and count-rate commands through the dispatcher:
// request keys and the reply shapes the library reads.
#include <gtest/gtest.h>

#include <memory>

#include "dispatcher_fixture.h"
#include "light_signal.h"

namespace veltrano::sim {
namespace {

using nlohmann::json;

constexpr std::int64_t kMillisecondPs = 1'000'000'000;

class AcquisitionCommandsTest : public DispatcherFixture {
protected:
    AcquisitionCommandsTest() { build(lightSignalConfig()); }
    static Json acquire(std::int64_t duration, const std::string& fileName = "") {
        return Json{{"cmd", "acq_rawdata"}, {"data_mode", 0},         {"duration", duration},
                    {"folder_path", ""},    {"file_name", fileName}, {"max_volume_size", 0},
                    {"force_close", false}};
    }
};

TEST_F(AcquisitionCommandsTest, AcquisitionStartChecksItsKeys) {
    Json missing = acquire(1);
    missing.erase("duration");
    EXPECT_EQ(call(missing)["result"], 3);
    Json wrong = acquire(1);
    wrong["force_close"] = 1;
    EXPECT_EQ(call(wrong)["result"], 3);
    wrong = acquire(1);
    wrong["file_name"] = 5;
    EXPECT_EQ(call(wrong)["result"], 3);
    wrong = acquire(1);
    wrong["data_mode"] = 2;
    EXPECT_EQ(call(wrong)["result"], 5);
    EXPECT_EQ(call(acquire(0))["result"], 5);
    // What the library's local acquisition sends: no folder, file or volume size.
    EXPECT_EQ(call(Json{{"cmd", "acq_rawdata"}, {"data_mode", 0}, {"duration", 1}, {"force_close", true}}),
              (Json{{"result", 0}}));
}

TEST_F(AcquisitionCommandsTest, FetchAlwaysAnswersABinaryFrameEmptyWhenNothingWaits) {
    EXPECT_TRUE(binary(Json{{"cmd", "fetch_rawdata"}}).empty());
    ASSERT_EQ(call(acquire(1))["result"], 0);
    EXPECT_TRUE(binary(Json{{"cmd", "fetch_rawdata"}}).empty());
    clock_->advancePs(20 * kMillisecondPs);
    const std::vector<std::uint8_t> bytes = binary(Json{{"cmd", "fetch_rawdata"}});
    EXPECT_GT(bytes.size(), 0u);
    EXPECT_EQ(bytes.size() % 16, 0u);
    EXPECT_EQ(call(Json{{"cmd", "stop_acq"}}), (Json{{"result", 0}}));
    EXPECT_EQ(call(Json{{"cmd", "stop_acq"}}), (Json{{"result", 0}}));
}

TEST_F(AcquisitionCommandsTest, StateQueriesAnswerTheShapesTheCallKindsRead) {
    EXPECT_EQ(call(Json{{"cmd", "is_rawdata_processing"}}),
              (Json{{"result", 0}, {"data", {{"status", 0}, {"value", false}}}}));
    EXPECT_EQ(call(Json{{"cmd", "get_acq_dataformat"}}), (Json{{"result", 0}, {"data", {{"status", 0}, {"value", 0}}}}));
    EXPECT_EQ(call(Json{{"cmd", "set_acq_dataformat"}, {"data_format", 3}})["result"], 5);
    EXPECT_EQ(call(Json{{"cmd", "set_acq_dataformat"}, {"data_format", 1}}), (Json{{"result", 0}}));
    EXPECT_EQ(call(Json{{"cmd", "get_acq_dataformat"}})["data"]["value"], 1);

    call(acquire(1));
    EXPECT_EQ(call(Json{{"cmd", "is_rawdata_processing"}})["data"]["value"], true);
    EXPECT_EQ(call(Json{{"cmd", "set_acq_dataformat"}, {"data_format", 2}})["result"], 8);
}

TEST_F(AcquisitionCommandsTest, WaitDataReadyAnswersReadyTimedOutOrNothingToWaitFor) {
    EXPECT_EQ(call(Json{{"cmd", "wait_data_ready"}, {"timeout_ms", 0}})["result"], 8);
    call(acquire(1));
    EXPECT_EQ(call(Json{{"cmd", "wait_data_ready"}, {"timeout_ms", -5}})["result"], 12);
    clock_->advancePs(5 * kMillisecondPs);
    EXPECT_EQ(call(Json{{"cmd", "wait_data_ready"}, {"timeout_ms", 0}}), (Json{{"result", 0}}));
    call(Json{{"cmd", "stop_acq"}});
    EXPECT_EQ(call(Json{{"cmd", "wait_data_ready"}, {"timeout_ms", 0}})["result"], 8);
    EXPECT_EQ(call(Json{{"cmd", "wait_data_ready"}})["result"], 3);
}

TEST_F(AcquisitionCommandsTest, StatsDescribeTheLastAcquisition) {
    Json idle = call(Json{{"cmd", "sim_acq_stats"}});
    EXPECT_EQ(idle["result"], 0);
    EXPECT_EQ(idle["data"]["state"], "idle");
    EXPECT_EQ(idle["data"]["acquisition"], 0);
    EXPECT_EQ(idle["data"]["fetched_fnv1a64"], "cbf29ce484222325");

    call(acquire(1, "run"));
    clock_->advancePs(1100 * kMillisecondPs);
    const Json s = call(Json{{"cmd", "sim_acq_stats"}})["data"];
    EXPECT_EQ(s["status"], 0);
    EXPECT_EQ(s["state"], "ended");
    EXPECT_EQ(s["acquisition"], 1);
    EXPECT_EQ(s["duration"], 1);
    EXPECT_EQ(s["files"], Json::array({(dir_.path() / "run.bin").string()}));
    EXPECT_EQ(s["bytes_written"], s["bytes_produced"]);
    EXPECT_EQ(s["bytes_written"].get<std::uint64_t>(), std::filesystem::file_size(dir_.path() / "run.bin"));
    EXPECT_EQ(s["written_fnv1a64"], s["produced_fnv1a64"]);
    EXPECT_EQ(s["bytes_fetched"], 0);
    EXPECT_EQ(s["file_error"], "");
    EXPECT_EQ(call(Json{{"cmd", "wait_data_ready"}, {"timeout_ms", 0}})["result"], 0);
}

TEST_F(AcquisitionCommandsTest, ConvertToHexConvertsServiceSideFilesOrAnswersFileError) {
    const std::string raw("\x01\x23\x45\x67\x89\xab\xcd\xef\xff", 9);
    veltest::writeTextFile(dir_.path() / "raw.bin", raw);
    EXPECT_EQ(call(Json{{"cmd", "convert_to_hex"}, {"bin_file", "raw.bin"}, {"hex_file", ""}}), (Json{{"result", 0}}));
    EXPECT_EQ(veltest::readTextFile(dir_.path() / "raw_convert.dat"), "0123456789abcdef\nff\n");
    const std::string absoluteOut = (dir_.path() / "out").string();
    EXPECT_EQ(call(Json{{"cmd", "convert_to_hex"}, {"bin_file", "raw.bin"}, {"hex_file", absoluteOut}})["result"], 0);
    EXPECT_EQ(veltest::readTextFile(absoluteOut + ".dat"), "0123456789abcdef\nff\n");

    const Json missing = call(Json{{"cmd", "convert_to_hex"}, {"bin_file", "missing.bin"}, {"hex_file", ""}});
    EXPECT_EQ(missing["result"], 11);
    EXPECT_TRUE(missing["error"].is_string());
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "missing_convert.dat"));
    EXPECT_EQ(call(Json{{"cmd", "convert_to_hex"}, {"bin_file", ""}, {"hex_file", ""}})["result"], 11);
    EXPECT_EQ(call(Json{{"cmd", "convert_to_hex"}, {"hex_file", "x"}})["result"], 3);
}

TEST_F(AcquisitionCommandsTest, RatesAreValueRepliesAndRecordingsBinaryText) {
    clock_->advancePs(1500 * kMillisecondPs);
    const Json single = call(Json{{"cmd", "get_single_cps"}, {"channel", 3}});
    EXPECT_EQ(single["result"], 0);
    EXPECT_EQ(single["data"]["status"], 0);
    EXPECT_TRUE(single["data"]["value"].is_number_integer());
    EXPECT_GT(single["data"]["value"].get<int>(), 4000);
    EXPECT_TRUE(call(Json{{"cmd", "get_coins_cps"}, {"channel", 3}})["data"]["value"].is_number_integer());
    EXPECT_EQ(call(Json{{"cmd", "get_single_cps"}, {"channel", 5}})["result"], 4);
    EXPECT_EQ(call(Json{{"cmd", "get_coins_cps"}})["result"], 3);

    EXPECT_TRUE(binary(Json{{"cmd", "get_singlecps_data"}}).empty());
    EXPECT_EQ(call(Json{{"cmd", "start_single_cps_recording"}}), (Json{{"result", 0}}));
    EXPECT_EQ(call(Json{{"cmd", "start_coins_cps_recording"}}), (Json{{"result", 0}}));
    clock_->advancePs(110 * kMillisecondPs);
    const std::vector<std::uint8_t> rows = binary(Json{{"cmd", "get_singlecps_data"}});
    const std::string text(rows.begin(), rows.end());
    EXPECT_EQ(text.substr(0, 6), "100,1,");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
    EXPECT_FALSE(binary(Json{{"cmd", "get_coinscps_data"}}).empty());
    EXPECT_TRUE(binary(Json{{"cmd", "get_singlecps_data"}}).empty());
}

TEST_F(AcquisitionCommandsTest, ResetStateEndsAcquisitionAndRecordings) {
    call(acquire(5));
    call(Json{{"cmd", "start_single_cps_recording"}});
    clock_->advancePs(200 * kMillisecondPs);
    EXPECT_EQ(call(Json{{"cmd", "reset_state"}}), (Json{{"result", 0}}));
    EXPECT_EQ(call(Json{{"cmd", "is_rawdata_processing"}})["data"]["value"], false);
    EXPECT_EQ(call(Json{{"cmd", "sim_acq_stats"}})["data"]["state"], "stopped");
    EXPECT_TRUE(binary(Json{{"cmd", "get_singlecps_data"}}).empty());
}

}  // namespace
}  // namespace veltrano::sim
