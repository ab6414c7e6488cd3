#include <gtest/gtest.h>

#include <memory>

#include "sim/protocol/command_catalogue.h"
#include "sim/protocol/dispatcher.h"
#include "sim/protocol/reply_codec.h"

namespace veltrano::sim {
namespace {

using nlohmann::json;

class DispatcherTest : public ::testing::Test {
protected:
    Json callLine(std::string_view line) {
        const Reply reply = dispatcher_.handleLine(line, context_);
        EXPECT_TRUE(reply.isJson());
        return reply.json();
    }
    Json call(const Json& request) { return callLine(request.dump()); }

    Instrument instrument_{InstrumentConfig{}, std::make_shared<ManualSimClock>()};
    CommandTable table_ = makeCommandTable();
    Dispatcher dispatcher_{table_};
    ConnectionState connection_;
    CommandContext context_{instrument_, connection_};
};

TEST_F(DispatcherTest, AnswersEveryDeviceControlAcquisitionCountRateAndAnalysisCommandAndNothingElse) {
    std::vector<std::string> expected{
        "connect", "disconnect",
        "set_dac", "get_dac", "set_term", "get_term", "set_hts", "get_hts", "set_interdelay", "get_interdelay",
        "set_deadtime", "get_deadtime", "set_edgetype", "get_edgetype", "set_adp", "get_adp", "enable_channel",
        "disable_channel", "is_channel_enabled", "enable_all_channels", "disable_all_channels",
        "set_tdcclocksource", "get_tdcclocksource", "set_datamode", "get_datamode", "set_testmode", "get_testmode",
        "set_databandwidth", "get_databandwidth", "set_boardid", "get_boardid", "set_coinstimewindow",
        "get_coinstimewindow", "set_adareascale", "get_adareascale", "set_acqtype", "get_acqtype",
        "set_outputgatetype", "get_outputgatetype", "set_gatedelay", "get_gatedelay",
        "tdc_resetn", "system_resetn", "reset_state", "self_check",
        "get_devices", "get_devicestatus", "get_fanspeed", "get_devicemodel", "get_devicetype", "get_channelnum",
        "get_fwversion", "get_productsn",
        "set_ips", "get_ips", "set_netports", "get_netports", "set_mac", "get_mac",
        "set_wips", "get_wips", "set_wnetports", "get_wnetports", "set_wmac", "get_wmac"};
    const std::vector<std::string> acquisitionAndRates{
        "acq_rawdata", "fetch_rawdata", "stop_acq", "wait_data_ready", "is_rawdata_processing",
        "set_acq_dataformat", "get_acq_dataformat", "convert_to_hex", "sim_acq_stats",
        "get_single_cps", "get_coins_cps", "start_single_cps_recording", "start_coins_cps_recording",
        "get_singlecps_data", "get_coinscps_data"};
    expected.insert(expected.end(), acquisitionAndRates.begin(), acquisitionAndRates.end());
    const std::vector<std::string> analyses{
        "stop_tof_analysis", "stop_ad_analysis", "stop_tot_analysis", "stop_es_analysis",
        "stop_conform_es_analysis", "stop_period_analysis", "stop_startstop_analysis", "stop_ncoins_analysis",
        "stop_autocorrelation_analysis", "fetch_processdata", "clear_analysis_data",
        "tof_analysis", "set_cross_correlation_config", "fetch_cross_correlation_data",
        "startstop_analysis", "fetch_startstop_processdata", "fetch_startstop_average_processdata",
        "fetch_startstop_dualstops_rawdata",
        "ncoins_analysis", "apply_ncoins_strategies", "get_ncoins_cps", "fetch_ncoins_cps", "fetch_ncoins_rawdata",
        "is_ncoins_analysis_processing",
        "period_analysis", "fetch_period_stability_metric", "fetch_analysis_rawdata",
        "autocorrelation_analysis", "fetch_autocorrelation_data", "fetch_t2_data", "fetch_t3_data",
        "tot_analysis", "fetch_tot_data", "es_analysis", "fetch_es_data",
        "conform_es_analysis", "fetch_ces_area1_processdata", "fetch_ces_area2_processdata", "ad_analysis"};
    expected.insert(expected.end(), analyses.begin(), analyses.end());
    for (const std::string& name : expected) EXPECT_NE(table_.find(name), nullptr) << name;
    EXPECT_EQ(table_.names().size(), expected.size());
}

TEST_F(DispatcherTest, MalformedLinesGetCodeTwoWithAnErrorText) {
    const std::vector<std::string> lines{"", "garbage", std::string("\x00\xff\xfe", 3), "[1,2]", "42", "\"set_dac\"",
                                         "null", "{}", "{\"cmd\":5}", "{\"cmd\":null}", "{\"cmd\":\"get_dac\"",
                                         "{\"cmd\":\"get_dac\"} trailing", std::string(100000, '[')};
    for (const std::string& line : lines) {
        const Json reply = callLine(line);
        EXPECT_EQ(reply["result"], 2) << line.substr(0, 40);
        EXPECT_TRUE(reply["error"].is_string());
    }
}

TEST_F(DispatcherTest, DeeplyNestedValidJsonIsHandledWithoutCrashing) {
    const std::string nested = std::string(200000, '[') + std::string(200000, ']');
    EXPECT_EQ(callLine(nested)["result"], 2);
    EXPECT_EQ(callLine("{\"cmd\":\"get_channelnum\",\"x\":" + nested + "}")["result"], 0);
}

TEST_F(DispatcherTest, UnknownCommandsGetCodeOne) {
    EXPECT_EQ(call(Json{{"cmd", "launch"}}), (Json{{"result", 1}, {"error", "unknown command \"launch\""}}));
    EXPECT_EQ(call(Json{{"cmd", "GET_DAC"}, {"channel", 1}})["result"], 1);
}

TEST_F(DispatcherTest, MissingOrMistypedKeysGetCodeThree) {
    EXPECT_EQ(call(Json{{"cmd", "get_dac"}})["result"], 3);
    EXPECT_EQ(call(Json{{"cmd", "get_dac"}, {"channel", "1"}})["result"], 3);
    EXPECT_EQ(call(Json{{"cmd", "set_term"}, {"channel", 1}, {"value", 1.0}})["result"], 3);
    EXPECT_EQ(call(Json{{"cmd", "set_term"}, {"channel", 1}, {"value", true}})["result"], 3);
    EXPECT_EQ(call(Json{{"cmd", "set_dac"}, {"channel", 1}, {"value", "0.2"}})["result"], 3);
    EXPECT_EQ(call(Json{{"cmd", "set_ips"}, {"local_ip", 1}, {"device_ip", "1.2.3.4"}})["result"], 3);
    EXPECT_EQ(call(Json{{"cmd", "set_netports"}, {"local_port", "80"}, {"device_port", 81}})["result"], 3);
    EXPECT_EQ(call(Json{{"cmd", "connect"}})["result"], 3);
}

TEST_F(DispatcherTest, OutOfRangeChannelsAndValuesGetTheirCodesAndChangeNothing) {
    EXPECT_EQ(call(Json{{"cmd", "get_term"}, {"channel", 0}}),
              (Json{{"result", 4}, {"error", "channel out of range: must be 1..16"}}));
    EXPECT_EQ(call(Json{{"cmd", "set_term"}, {"channel", 17}, {"value", 1}})["result"], 4);
    EXPECT_EQ(callLine(R"({"cmd":"get_dac","channel":-99999999999999999999999})")["result"], 4);
    EXPECT_EQ(call(Json{{"cmd", "set_term"}, {"channel", 1}, {"value", 2}}),
              (Json{{"result", 5}, {"error", "value out of range: must be 0..1"}}));
    EXPECT_EQ(callLine(R"({"cmd":"set_deadtime","channel":1,"value":99999999999999999999999})")["result"], 5);
    EXPECT_EQ(callLine(R"({"cmd":"set_dac","channel":1,"value":1e300})")["result"], 5);
    EXPECT_EQ(call(Json{{"cmd", "set_boardid"}, {"value", -1}})["result"], 5);
    EXPECT_EQ(call(Json{{"cmd", "set_wnetports"}, {"local_port", 0}, {"device_port", 1}})["result"], 5);
    EXPECT_EQ(call(Json{{"cmd", "set_mac"}, {"device_mac", "00:11"}})["result"], 7);
    EXPECT_EQ(call(Json{{"cmd", "set_wips"}, {"local_ip", "1.2.3.4"}, {"device_ip", "localhost"}})["result"], 7);
    EXPECT_EQ(call(Json{{"cmd", "get_term"}, {"channel", 1}})["data"]["value"], 0);
    EXPECT_EQ(call(Json{{"cmd", "get_boardid"}})["data"]["value"], 0);
}

TEST_F(DispatcherTest, ValueGettersAnswerAStatusZeroObjectOfTheRightJsonType) {
    call(Json{{"cmd", "set_dac"}, {"channel", 3}, {"value", 0.25}});
    EXPECT_EQ(call(Json{{"cmd", "get_dac"}, {"channel", 3}}),
              (Json{{"result", 0}, {"data", {{"status", 0}, {"value", 0.25}}}}));
    call(Json{{"cmd", "disable_channel"}, {"channel", 2}});
    EXPECT_EQ(call(Json{{"cmd", "is_channel_enabled"}, {"channel", 2}})["data"]["value"], false);
    EXPECT_TRUE(call(Json{{"cmd", "get_fwversion"}})["data"]["value"].is_string());
    EXPECT_TRUE(call(Json{{"cmd", "get_productsn"}})["data"]["value"].is_string());
    for (const char* name : {"get_fanspeed", "get_devicemodel", "get_devicetype", "get_boardid", "get_datamode"}) {
        const Json reply = call(Json{{"cmd", name}});
        EXPECT_EQ(reply["result"], 0) << name;
        EXPECT_EQ(reply["data"]["status"], 0) << name;
        EXPECT_TRUE(reply["data"]["value"].is_number_integer()) << name;
    }
    EXPECT_EQ(call(Json{{"cmd", "get_channelnum"}})["data"]["value"], 16);
}

TEST_F(DispatcherTest, EverySetterRoundTripsThroughItsGetter) {
    const std::vector<std::pair<std::string, std::string>> channelPairs{
        {"set_term", "get_term"}, {"set_hts", "get_hts"}, {"set_interdelay", "get_interdelay"},
        {"set_deadtime", "get_deadtime"}, {"set_edgetype", "get_edgetype"}, {"set_adp", "get_adp"}};
    for (const auto& [set, get] : channelPairs) {
        ASSERT_EQ(call(Json{{"cmd", set}, {"channel", 5}, {"value", 1}})["result"], 0) << set;
        EXPECT_EQ(call(Json{{"cmd", get}, {"channel", 5}})["data"]["value"], 1) << get;
    }
    const std::vector<std::pair<std::string, std::string>> boardPairs{
        {"set_tdcclocksource", "get_tdcclocksource"}, {"set_datamode", "get_datamode"},
        {"set_testmode", "get_testmode"}, {"set_databandwidth", "get_databandwidth"},
        {"set_boardid", "get_boardid"}, {"set_coinstimewindow", "get_coinstimewindow"},
        {"set_adareascale", "get_adareascale"}, {"set_acqtype", "get_acqtype"},
        {"set_outputgatetype", "get_outputgatetype"}, {"set_gatedelay", "get_gatedelay"}};
    for (const auto& [set, get] : boardPairs) {
        ASSERT_EQ(call(Json{{"cmd", set}, {"value", 1}})["result"], 0) << set;
        EXPECT_EQ(call(Json{{"cmd", get}})["data"]["value"], 1) << get;
    }
}

TEST_F(DispatcherTest, NetworkGettersAnswerNamedMembers) {
    ASSERT_EQ(call(Json{{"cmd", "set_ips"}, {"local_ip", "10.0.0.1"}, {"device_ip", "10.0.0.2"}})["result"], 0);
    EXPECT_EQ(call(Json{{"cmd", "get_ips"}}),
              (Json{{"result", 0}, {"data", {{"status", 0}, {"local_ip", "10.0.0.1"}, {"device_ip", "10.0.0.2"}}}}));
    ASSERT_EQ(call(Json{{"cmd", "set_wnetports"}, {"local_port", 7001}, {"device_port", 7002}})["result"], 0);
    EXPECT_EQ(call(Json{{"cmd", "get_wnetports"}}),
              (Json{{"result", 0}, {"data", {{"status", 0}, {"local_port", 7001}, {"device_port", 7002}}}}));
    ASSERT_EQ(call(Json{{"cmd", "set_wmac"}, {"device_mac", "02:00:00:00:00:09"}})["result"], 0);
    EXPECT_EQ(call(Json{{"cmd", "get_wmac"}})["data"], (Json{{"status", 0}, {"device_mac", "02:00:00:00:00:09"}}));
    EXPECT_NE(call(Json{{"cmd", "get_mac"}})["data"]["device_mac"], "02:00:00:00:00:09");
}

TEST_F(DispatcherTest, DeviceListAndStatusHaveTheShapesTheLibraryReads) {
    const Json devices = call(Json{{"cmd", "get_devices"}});
    EXPECT_EQ(devices["result"], 0);
    ASSERT_TRUE(devices["devices"].is_array());
    ASSERT_GE(devices["devices"].size(), 2u);
    for (const Json& d : devices["devices"]) {
        EXPECT_TRUE(d["device_type"].is_number_integer());
        EXPECT_TRUE(d["device_name"].is_string());
    }
    const Json status = call(Json{{"cmd", "get_devicestatus"}});
    EXPECT_EQ(status["result"], 0);
    EXPECT_TRUE(status["data"]["temperature"].is_number_integer());
    for (int i = 1; i <= 8; ++i) EXPECT_TRUE(status["data"]["current" + std::to_string(i)].is_number_float()) << i;
}

TEST_F(DispatcherTest, ConnectAcceptsListedDeviceTypesOnly) {
    EXPECT_EQ(call(Json{{"cmd", "connect"}, {"device_type", 2}})["result"], 0);
    EXPECT_EQ(connection_.deviceType, 2);
    EXPECT_EQ(call(Json{{"cmd", "connect"}, {"device_type", 77}})["result"], 6);
    EXPECT_EQ(call(Json{{"cmd", "disconnect"}})["result"], 0);
    EXPECT_FALSE(connection_.deviceType.has_value());
}

TEST_F(DispatcherTest, BoardActionsSucceedAndSystemResetRestoresSettings) {
    call(Json{{"cmd", "set_gatedelay"}, {"value", 500}});
    for (const char* name : {"tdc_resetn", "reset_state", "self_check", "system_resetn"}) {
        EXPECT_EQ(call(Json{{"cmd", name}}), (Json{{"result", 0}})) << name;
    }
    EXPECT_EQ(call(Json{{"cmd", "get_gatedelay"}})["data"]["value"], 0);
}

TEST_F(DispatcherTest, OverlongLineReplyIsAMalformedRequest) {
    EXPECT_EQ(Dispatcher::lineTooLong(1024).json(),
              (Json{{"result", 2}, {"error", "request line longer than 1024 bytes"}}));
}

}  // namespace
}  // namespace veltrano::sim
