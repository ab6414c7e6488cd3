// Board settings and actions against a scripted service: exact requests,
// "value" as a JSON integer, values stored, the board identifier returned.

#include "support/service_session.h"

#include <string>

namespace {

using BoardSettings = veltest::ServiceSessionTest;

struct IntegerSetting {
    int (*set)(uint64_t, int);
    int (*get)(uint64_t, int*);
    const char* setCommand;
    const char* getCommand;
};

const IntegerSetting kIntegerSettings[] = {
    {ci_set_tdc_clock_source, ci_get_tdc_clock_source, "set_tdcclocksource", "get_tdcclocksource"},
    {ci_set_data_mode, ci_get_data_mode, "set_datamode", "get_datamode"},
    {ci_set_test_mode, ci_get_test_mode, "set_testmode", "get_testmode"},
    {ci_set_test_data_bandwidth, ci_get_test_data_bandwidth, "set_databandwidth", "get_databandwidth"},
    {ci_set_coins_time_window, ci_get_coins_time_window, "set_coinstimewindow", "get_coinstimewindow"},
    {ci_set_ad_area_scale, ci_get_ad_area_scale, "set_adareascale", "get_adareascale"},
    {ci_set_acq_type, ci_get_acq_type, "set_acqtype", "get_acqtype"},
    {ci_set_output_gate_type, ci_get_output_gate_type, "set_outputgatetype", "get_outputgatetype"},
    {ci_set_gate_delay, ci_get_gate_delay, "set_gatedelay", "get_gatedelay"},
};

std::string commandRequest(const std::string& command) {
    return "{\"cmd\":\"" + command + "\"}\n";
}

TEST_F(BoardSettings, SettersSendTheValueAsAnIntegerAndPassTheCodeThrough) {
    for (const auto& s : kIntegerSettings) {
        service.replyJson({{"result", 5}});
        EXPECT_EQ(s.set(handle, 2500), 5) << s.setCommand;
        EXPECT_EQ(service.requests().back(), "{\"cmd\":\"" + std::string(s.setCommand) + "\",\"value\":2500}\n");
    }
    ci_set_board_id(handle, -3);
    EXPECT_EQ(service.requests().back(), "{\"cmd\":\"set_boardid\",\"value\":-3}\n");
}

TEST_F(BoardSettings, GettersSendTheCommandAloneAndStoreTheValue) {
    for (const auto& s : kIntegerSettings) {
        service.reply(R"({"result":0,"data":{"status":0,"value":1200}})" "\n");
        service.reply(R"({"result":0,"data":{"status":1,"value":1200}})" "\n");
        service.reply(R"({"result":6})" "\n");
        int value = -1;
        EXPECT_EQ(s.get(handle, &value), 0);
        EXPECT_EQ(value, 1200) << s.getCommand;
        EXPECT_EQ(service.requests().back(), commandRequest(s.getCommand));
        s.get(handle, &value);
        EXPECT_EQ(value, 0) << s.getCommand;
        value = -1;
        EXPECT_EQ(s.get(handle, &value), 6);
        EXPECT_EQ(value, -1) << s.getCommand;
        service.reply(R"({"result":0,"data":3})" "\n");
        EXPECT_EQ(s.get(handle, nullptr), 0) << s.getCommand;
    }
}

TEST_F(BoardSettings, BoardIdIsReturnedItselfOrMinusOne) {
    struct Case {
        const char* reply;
        int returned;
    } cases[] = {
        {R"({"result":0,"data":{"status":0,"value":12}})", 12},
        {R"({"result":0,"data":12})", 12},
        {R"({"result":-1,"data":12})", -1},
        {R"({"result":0})", -1},
        {R"({"result":0,"data":{"status":1,"value":12}})", -1},
    };
    for (const auto& c : cases) {
        service.reply(std::string(c.reply) + "\n");
        EXPECT_EQ(ci_get_board_id(handle), c.returned) << c.reply;
        EXPECT_EQ(service.requests().back(), commandRequest("get_boardid"));
    }
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(BoardSettings, ActionsSendTheirCommandAlone) {
    const std::pair<int (*)(uint64_t), const char*> actions[] = {
        {ci_tdc_resetn, "tdc_resetn"},
        {ci_system_resetn, "system_resetn"},
        {ci_reset_state, "reset_state"},
        {ci_self_check, "self_check"},
    };
    for (const auto& [action, command] : actions) {
        service.replyJson({{"result", 9}, {"error", "refused"}});
        EXPECT_EQ(action(handle), 9) << command;
        EXPECT_EQ(service.requests().back(), commandRequest(command));
    }
}

}  // namespace
