// Device status against a scripted service: the record filled field by field,
// the stop at a member of unusable type, and the stricter temperature read.

#include "support/service_session.h"

#include <cstddef>
#include <string>

namespace {

using DeviceStatus = veltest::ServiceSessionTest;

// The record layout callers rely on: temperature first, then current1..8.
static_assert(offsetof(DEVICE_STATUS, current1) == 4 && offsetof(DEVICE_STATUS, current8) == 32);
static_assert(offsetof(DEVICE_INFO, device_name) == 4);

const char* const kGetStatus = "{\"cmd\":\"get_devicestatus\"}\n";

DEVICE_STATUS sentinelStatus() {
    return DEVICE_STATUS{-99, -1.f, -1.f, -1.f, -1.f, -1.f, -1.f, -1.f, -1.f};
}

TEST_F(DeviceStatus, FillsTheRecordFromTheDataObjectAndReturnsTheResult) {
    service.reply(R"({"result":0,"data":{"status":0,"temperature":41,"current1":1.25,"current2":0.5,)"
                  R"("current3":2,"current4":0.1,"current5":5.5,"current6":6.5,"current7":7.5,"current8":8.5}})"
                  "\n");
    DEVICE_STATUS status = sentinelStatus();
    EXPECT_EQ(ci_get_device_status(handle, &status), 0);
    EXPECT_EQ(onlyRequest(), kGetStatus);
    EXPECT_EQ(status.temperature, 41);
    EXPECT_EQ(status.current1, 1.25f);
    EXPECT_EQ(status.current2, 0.5f);
    EXPECT_EQ(status.current3, 2.0f);
    EXPECT_EQ(status.current4, 0.1f);
    EXPECT_EQ(status.current8, 8.5f);
}

TEST_F(DeviceStatus, MissingMembersReadAsZeroAndTheServiceCodeStillFills) {
    service.reply(R"({"result":6,"data":{"current2":3.5}})" "\n");
    DEVICE_STATUS status = sentinelStatus();
    EXPECT_EQ(ci_get_device_status(handle, &status), 6);
    EXPECT_EQ(status.temperature, 0);
    EXPECT_EQ(status.current1, 0.f);
    EXPECT_EQ(status.current2, 3.5f);
    EXPECT_EQ(status.current8, 0.f);
}

TEST_F(DeviceStatus, FillingStopsQuietlyAtAMemberOfUnusableType) {
    service.reply(R"({"result":0,"data":{"temperature":40,"current1":1,"current2":2,"current3":"3",)"
                  R"("current4":4}})" "\n");
    service.reply(R"({"result":0,"data":{"temperature":"hot","current1":1}})" "\n");
    DEVICE_STATUS status = sentinelStatus();
    EXPECT_EQ(ci_get_device_status(handle, &status), 0);
    EXPECT_EQ(status.temperature, 40);
    EXPECT_EQ(status.current1, 1.f);
    EXPECT_EQ(status.current2, 2.f);
    EXPECT_EQ(status.current3, -1.f);
    EXPECT_EQ(status.current4, -1.f);
    EXPECT_EQ(status.current8, -1.f);

    status = sentinelStatus();
    EXPECT_EQ(ci_get_device_status(handle, &status), 0);
    EXPECT_EQ(status.temperature, -99);
    EXPECT_EQ(status.current1, -1.f);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(DeviceStatus, RecordIsLeftWithoutADataObject) {
    struct Case {
        const char* reply;
        int returned;
    } cases[] = {
        {R"({"result":3})", 3},
        {R"({"result":0,"data":41})", 0},
        {R"({"result":0,"data":[41]})", 0},
    };
    for (const auto& c : cases) {
        service.reply(std::string(c.reply) + "\n");
        DEVICE_STATUS status = sentinelStatus();
        EXPECT_EQ(ci_get_device_status(handle, &status), c.returned) << c.reply;
        EXPECT_EQ(status.temperature, -99) << c.reply;
    }
    service.reply(R"({"result":2,"data":{"temperature":41}})" "\n");
    EXPECT_EQ(ci_get_device_status(handle, nullptr), 2);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(DeviceStatus, ReplyWithoutResultStillFillsButReturnsMinusOne) {
    service.reply(R"({"data":{"temperature":41}})" "\n");
    DEVICE_STATUS status = sentinelStatus();
    EXPECT_EQ(ci_get_device_status(handle, &status), -1);
    EXPECT_EQ(status.temperature, 41);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(DeviceStatus, TemperatureAloneIsReadIntoTheCallersInt) {
    service.reply(R"({"result":0,"data":{"status":0,"temperature":36.7,"current1":"x"}})" "\n");
    service.reply(R"({"result":4,"data":{}})" "\n");
    service.reply(R"({"result":5})" "\n");
    int temperature = -1;
    EXPECT_EQ(ci_get_device_temp(handle, &temperature), 0);
    EXPECT_EQ(temperature, 36);
    EXPECT_EQ(service.requests().back(), kGetStatus);
    EXPECT_EQ(ci_get_device_temp(handle, &temperature), 4);
    EXPECT_EQ(temperature, 0);
    temperature = -1;
    EXPECT_EQ(ci_get_device_temp(handle, &temperature), 5);
    EXPECT_EQ(temperature, -1);
    service.reply(R"({"result":0,"data":{"temperature":"hot"}})" "\n");
    EXPECT_EQ(ci_get_device_temp(handle, nullptr), 0);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(DeviceStatus, TemperatureOfUnusableTypeFailsTheTemperatureCall) {
    service.reply(R"({"result":0,"data":{"temperature":{"value":40}}})" "\n");
    int temperature = -1;
    EXPECT_EQ(ci_get_device_temp(handle, &temperature), -1);
    EXPECT_EQ(temperature, -1);
    const std::vector<std::string> expected = {
        "Get device temperature exception: member \"temperature\" is not a 32-bit integer"};
    EXPECT_EQ(log.errors(), expected);
}

TEST_F(DeviceStatus, BinaryReplyFailsUnderEachFunctionsName) {
    service.replyBinary("xyz");
    service.replyBinary("xyz");
    DEVICE_STATUS status = sentinelStatus();
    int temperature = -1;
    EXPECT_EQ(ci_get_device_status(handle, &status), -1);
    EXPECT_EQ(ci_get_device_temp(handle, &temperature), -1);
    EXPECT_EQ(status.temperature, -99);
    EXPECT_EQ(temperature, -1);
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].rfind("Get device status exception: ", 0), 0u) << errors[0];
    EXPECT_EQ(errors[1].rfind("Get device temperature exception: ", 0), 0u) << errors[1];
}

}  // namespace
