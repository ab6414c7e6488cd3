// Identity and health values against a scripted service: the returned-int
// exports give the value itself, the text exports copy by the text-copy rule.

#include "support/service_session.h"

#include <cstring>
#include <string>

namespace {

using DeviceIdentity = veltest::ServiceSessionTest;

const std::pair<int (*)(uint64_t), const char*> kValueExports[] = {
    {ci_get_fan_speed, "get_fanspeed"},
    {ci_get_device_model, "get_devicemodel"},
    {ci_get_device_type, "get_devicetype"},
    {ci_get_channel_num, "get_channelnum"},
};

const std::pair<int (*)(uint64_t, char*, int), const char*> kTextExports[] = {
    {ci_get_fw_version, "get_fwversion"},
    {ci_get_product_sn, "get_productsn"},
};

std::string commandRequest(const std::string& command) {
    return "{\"cmd\":\"" + command + "\"}\n";
}

TEST_F(DeviceIdentity, ValueExportsReturnTheValueOrMinusOne) {
    for (const auto& [read, command] : kValueExports) {
        service.reply(R"({"result":0,"data":{"status":0,"value":16}})" "\n");
        service.reply(R"({"result":0,"data":2400})" "\n");
        service.reply(R"({"result":-1,"data":16})" "\n");
        service.reply(R"({"result":0})" "\n");
        service.reply(R"({"result":0,"data":{"status":1,"value":16}})" "\n");
        EXPECT_EQ(read(handle), 16) << command;
        EXPECT_EQ(service.requests().back(), commandRequest(command));
        EXPECT_EQ(read(handle), 2400) << command;
        EXPECT_EQ(read(handle), -1) << command;
        EXPECT_EQ(read(handle), -1) << command;
        EXPECT_EQ(read(handle), -1) << command;
    }
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(DeviceIdentity, TextExportsCutAtCapacityMinusOneAndTerminate) {
    for (const auto& [read, command] : kTextExports) {
        service.reply(R"({"result":0,"data":{"status":0,"value":"2.4.1-sim"}})" "\n");
        char buffer[8];
        std::memset(buffer, 'z', sizeof buffer);
        EXPECT_EQ(read(handle, buffer, 4), 0) << command;
        EXPECT_STREQ(buffer, "2.4");
        EXPECT_EQ(buffer[4], 'z');
        EXPECT_EQ(service.requests().back(), commandRequest(command));
    }
}

TEST_F(DeviceIdentity, TextExportsTakeABareStringAndLeaveTheBufferOtherwise) {
    for (const auto& [read, command] : kTextExports) {
        const size_t before = service.requests().size();
        service.reply(R"({"result":0,"data":"SN-1"})" "\n");
        service.reply(R"({"result":0,"data":{"status":1,"value":"SN-2"}})" "\n");
        service.reply(R"({"result":3,"data":{"status":0,"value":"SN-3"}})" "\n");
        char buffer[16] = "keep";
        EXPECT_EQ(read(handle, buffer, sizeof buffer), 0);
        EXPECT_STREQ(buffer, "SN-1") << command;
        EXPECT_EQ(read(handle, buffer, sizeof buffer), 0);
        EXPECT_STREQ(buffer, "SN-1") << command;
        // A null buffer still sends the command and returns the code.
        EXPECT_EQ(read(handle, nullptr, 16), 3) << command;
        EXPECT_EQ(service.requests().size(), before + 3);
    }
}

}  // namespace
