// Per-channel settings against a scripted service: the exact request each
// export sends (command, "channel" and "value" with their JSON types) and how
// the reply's value reaches the caller.

#include "support/service_session.h"

#include <string>

namespace {

using ChannelSettings = veltest::ServiceSessionTest;

struct IntegerSetting {
    int (*set)(uint64_t, int, int);
    int (*get)(uint64_t, int, int*);
    const char* setCommand;
    const char* getCommand;
};

const IntegerSetting kIntegerSettings[] = {
    {ci_set_termination, ci_get_termination, "set_term", "get_term"},
    {ci_set_hysteresis, ci_get_hysteresis, "set_hts", "get_hts"},
    {ci_set_inter_delay, ci_get_inter_delay, "set_interdelay", "get_interdelay"},
    {ci_set_dead_time, ci_get_dead_time, "set_deadtime", "get_deadtime"},
    {ci_set_edge_type, ci_get_edge_type, "set_edgetype", "get_edgetype"},
    {ci_set_ad_integration_point, ci_get_ad_integration_point, "set_adp", "get_adp"},
};

std::string channelRequest(const std::string& command, int channel) {
    return "{\"channel\":" + std::to_string(channel) + ",\"cmd\":\"" + command + "\"}\n";
}

std::string channelValueRequest(const std::string& command, int channel, const std::string& value) {
    return "{\"channel\":" + std::to_string(channel) + ",\"cmd\":\"" + command + "\",\"value\":" + value + "}\n";
}

TEST_F(ChannelSettings, IntegerSettersSendChannelAndValueAsIntegersAndPassTheCodeThrough) {
    for (const auto& s : kIntegerSettings) {
        service.replyJson({{"result", 5}});
        EXPECT_EQ(s.set(handle, 3, -7), 5) << s.setCommand;
        EXPECT_EQ(service.requests().back(), channelValueRequest(s.setCommand, 3, "-7"));
    }
}

TEST_F(ChannelSettings, IntegerGettersSendTheChannelAndStoreTheValue) {
    for (const auto& s : kIntegerSettings) {
        service.reply(R"({"result":0,"data":{"status":0,"value":12}})" "\n");
        service.reply(R"({"result":0,"data":12})" "\n");
        int value = -1;
        EXPECT_EQ(s.get(handle, 4, &value), 0) << s.getCommand;
        EXPECT_EQ(value, 12) << s.getCommand;
        EXPECT_EQ(service.requests().back(), channelRequest(s.getCommand, 4));
        value = -1;
        s.get(handle, 4, &value);
        EXPECT_EQ(value, 12) << s.getCommand;
    }
}

TEST_F(ChannelSettings, IntegerGettersStoreZeroForInvalidDataAndKeepTheOutputWithoutData) {
    for (const auto& s : kIntegerSettings) {
        service.reply(R"({"result":0,"data":{"status":1,"value":12}})" "\n");
        service.reply(R"({"result":0,"data":"12"})" "\n");
        service.reply(R"({"result":4})" "\n");
        int value = -1;
        EXPECT_EQ(s.get(handle, 1, &value), 0);
        EXPECT_EQ(value, 0) << s.getCommand;
        value = -1;
        EXPECT_EQ(s.get(handle, 1, &value), 0);
        EXPECT_EQ(value, 0) << s.getCommand;
        value = -1;
        EXPECT_EQ(s.get(handle, 1, &value), 4);
        EXPECT_EQ(value, -1) << s.getCommand;
    }
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(ChannelSettings, GettersWithoutOutputStillSendAndReturnTheCode) {
    for (const auto& s : kIntegerSettings) {
        service.reply(R"({"result":2,"data":12})" "\n");
        EXPECT_EQ(s.get(handle, 2, nullptr), 2) << s.getCommand;
        EXPECT_EQ(service.requests().back(), channelRequest(s.getCommand, 2));
    }
    service.reply(R"({"result":0,"data":0.5})" "\n");
    EXPECT_EQ(ci_get_dac(handle, 2, nullptr), 0);
    EXPECT_EQ(service.requests().back(), channelRequest("get_dac", 2));
}

TEST_F(ChannelSettings, DacThresholdTravelsAsAFloatingPointNumber) {
    EXPECT_EQ(ci_set_dac(handle, 3, 0.25), 0);
    EXPECT_EQ(ci_set_dac(handle, 3, 1.0), 0);
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], channelValueRequest("set_dac", 3, "0.25"));
    // Even a whole-numbered threshold stays a JSON floating-point number.
    EXPECT_EQ(requests[1], channelValueRequest("set_dac", 3, "1.0"));
}

TEST_F(ChannelSettings, GetDacStoresTheThresholdWithItsFraction) {
    service.reply(R"({"result":0,"data":{"status":0,"value":-0.125}})" "\n");
    service.reply(R"({"result":0,"data":{"status":2,"value":0.5}})" "\n");
    double value = 9;
    EXPECT_EQ(ci_get_dac(handle, 5, &value), 0);
    EXPECT_EQ(value, -0.125);
    EXPECT_EQ(ci_get_dac(handle, 5, &value), 0);
    EXPECT_EQ(value, 0.0);
}

TEST_F(ChannelSettings, ChannelNumbersAreSentUnchanged) {
    for (int channel : {0, -1, 99, 2147483647}) {
        ci_set_termination(handle, channel, 1);
        EXPECT_EQ(service.requests().back(), channelValueRequest("set_term", channel, "1"));
    }
}

TEST_F(ChannelSettings, EnablingCommandsCarryTheChannelOrNothing) {
    ci_enable_channel(handle, 7);
    ci_disable_channel(handle, 8);
    ci_enable_all_channels(handle);
    ci_disable_all_channels(handle);
    const std::vector<std::string> expected = {
        channelRequest("enable_channel", 7),
        channelRequest("disable_channel", 8),
        "{\"cmd\":\"enable_all_channels\"}\n",
        "{\"cmd\":\"disable_all_channels\"}\n",
    };
    EXPECT_EQ(service.requests(), expected);
}

TEST_F(ChannelSettings, EnabledStateIsReadOnlyFromABoolean) {
    struct Case {
        const char* reply;
        bool stored;
    } cases[] = {
        {R"({"result":0,"data":true})", true},
        {R"({"result":0,"data":{"status":0,"value":true}})", true},
        {R"({"result":0,"data":1})", false},
        {R"({"result":0,"data":{"status":1,"value":true}})", false},
    };
    for (const auto& c : cases) {
        service.reply(std::string(c.reply) + "\n");
        bool enabled = !c.stored;
        EXPECT_EQ(ci_is_channel_enabled(handle, 6, &enabled), 0);
        EXPECT_EQ(enabled, c.stored) << c.reply;
        EXPECT_EQ(service.requests().back(), channelRequest("is_channel_enabled", 6));
    }
    service.reply(R"({"result":3,"data":true})" "\n");
    EXPECT_EQ(ci_is_channel_enabled(handle, 6, nullptr), 3);
}

}  // namespace
