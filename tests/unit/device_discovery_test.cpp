// The device list against a scripted service: counting, filling caller
// records (slots, truncation, skipped elements), reading one entry, and the
// failures each list function reports under its own name.

#include "support/service_session.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using DeviceList = veltest::ServiceSessionTest;
using nlohmann::json;

const char* const kGetDevices = "{\"cmd\":\"get_devices\"}\n";

json listReply(json devices) {
    return {{"result", 0}, {"devices", std::move(devices)}};
}

const json kThreeDevices = json::array({
    {{"device_type", 1}, {"device_name", "tdc-16"}},
    {{"device_type", 2}, {"device_name", "tdc-8-ad"}},
    {{"device_type", 7}, {"device_name", "spare"}},
});

// Entries pre-filled with a pattern, so writes and zeroing are visible.
std::vector<DEVICE_INFO> dirtyEntries(size_t n) {
    std::vector<DEVICE_INFO> entries(n);
    std::memset(entries.data(), 0x5a, n * sizeof(DEVICE_INFO));
    return entries;
}

bool isZeroed(const DEVICE_INFO& entry) {
    const DEVICE_INFO zero{};
    return std::memcmp(&entry, &zero, sizeof entry) == 0;
}

TEST_F(DeviceList, NullArrayOnlyCountsTheDevices) {
    service.replyJson(listReply(kThreeDevices));
    EXPECT_EQ(ci_get_devices(handle, nullptr, 0), 3);
    EXPECT_EQ(onlyRequest(), kGetDevices);
}

TEST_F(DeviceList, FillsAtMostCountEntriesAndReturnsTheTotal) {
    service.replyJson(listReply(kThreeDevices));
    auto entries = dirtyEntries(3);
    EXPECT_EQ(ci_get_devices(handle, entries.data(), 2), 3);
    EXPECT_EQ(entries[0].device_type, 1);
    EXPECT_STREQ(entries[0].device_name, "tdc-16");
    EXPECT_EQ(entries[1].device_type, 2);
    EXPECT_STREQ(entries[1].device_name, "tdc-8-ad");
    // Beyond count the caller's memory is not touched.
    EXPECT_EQ(static_cast<unsigned char>(entries[2].device_name[0]), 0x5a);
}

TEST_F(DeviceList, ZeroesTheWholeArrayAndFillsMissingMembersWithDefaults) {
    service.replyJson(listReply(json::array({json::object()})));
    auto entries = dirtyEntries(3);
    EXPECT_EQ(ci_get_devices(handle, entries.data(), 3), 1);
    for (const auto& entry : entries) {
        EXPECT_TRUE(isZeroed(entry));
    }
}

TEST_F(DeviceList, ElementsThatAreNotObjectsTakeNoSlot) {
    const json mixed = json::array({{{"device_type", 1}, {"device_name", "a"}}, "junk",
                                    {{"device_type", 3}, {"device_name", "c"}}});
    service.replyJson(listReply(mixed));
    service.replyJson(listReply(mixed));
    auto entries = dirtyEntries(4);
    EXPECT_EQ(ci_get_devices(handle, entries.data(), 4), 3);
    EXPECT_STREQ(entries[0].device_name, "a");
    EXPECT_EQ(entries[1].device_type, 3);
    EXPECT_STREQ(entries[1].device_name, "c");
    EXPECT_TRUE(isZeroed(entries[2]));
    EXPECT_TRUE(isZeroed(entries[3]));

    // Only the first count elements are looked at: with count 2 the third
    // element does not move up into the slot the string left free.
    entries = dirtyEntries(2);
    EXPECT_EQ(ci_get_devices(handle, entries.data(), 2), 3);
    EXPECT_STREQ(entries[0].device_name, "a");
    EXPECT_TRUE(isZeroed(entries[1]));
}

TEST_F(DeviceList, CutsLongNamesTo255Bytes) {
    const std::string name(300, 'n');
    service.replyJson(listReply(json::array({{{"device_type", 1}, {"device_name", name}}})));
    DEVICE_INFO entry;
    EXPECT_EQ(ci_get_devices(handle, &entry, 1), 1);
    EXPECT_EQ(std::string(entry.device_name), name.substr(0, 255));
}

TEST_F(DeviceList, CountOfZeroOrLessWithAnArrayFails) {
    for (int count : {0, -2}) {
        service.replyJson(listReply(kThreeDevices));
        auto entries = dirtyEntries(1);
        EXPECT_EQ(ci_get_devices(handle, entries.data(), count), -1);
        EXPECT_EQ(static_cast<unsigned char>(entries[0].device_name[0]), 0x5a);
    }
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(DeviceList, ReplyWithoutAListGivesZeroAndTheResultIsNotConsulted) {
    service.reply("{\"result\":0}\n");
    service.reply("{\"result\":0,\"devices\":{\"device_type\":1}}\n");
    service.reply("[1,2]\n");
    auto entries = dirtyEntries(1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ci_get_devices(handle, entries.data(), 1), 0);
    }
    EXPECT_EQ(static_cast<unsigned char>(entries[0].device_name[0]), 0x5a);

    service.reply("{\"result\":0}\n");
    EXPECT_EQ(ci_get_device_num(handle), 0);
    service.replyJson({{"result", 7}, {"devices", kThreeDevices}});
    EXPECT_EQ(ci_get_device_num(handle), 3);
    service.reply("{\"devices\":[{}]}\n");
    EXPECT_EQ(ci_get_device_num(handle), 1);
    EXPECT_EQ(service.requests().back(), kGetDevices);
}

TEST_F(DeviceList, MemberOfUnusableTypeFailsAndKeepsEarlierEntries) {
    service.replyJson(listReply(json::array({{{"device_type", 1}, {"device_name", "a"}},
                                             {{"device_type", "2"}, {"device_name", "b"}}})));
    auto entries = dirtyEntries(2);
    EXPECT_EQ(ci_get_devices(handle, entries.data(), 2), -1);
    EXPECT_STREQ(entries[0].device_name, "a");
    EXPECT_TRUE(isZeroed(entries[1]));

    service.replyJson(listReply(json::array({{{"device_type", 1}, {"device_name", 5}}})));
    EXPECT_EQ(ci_get_devices(handle, entries.data(), 2), -1);
    const std::vector<std::string> expected = {
        "Get devices exception: member \"device_type\" is not a 32-bit integer",
        "Get devices exception: member \"device_name\" is not a string",
    };
    EXPECT_EQ(log.errors(), expected);
}

TEST_F(DeviceList, GetDeviceReadsOneEntry) {
    service.replyJson(listReply(kThreeDevices));
    service.replyJson(listReply(kThreeDevices));
    int type = -1;
    char name[16];
    EXPECT_EQ(ci_get_device(handle, 1, &type, name, sizeof name), 0);
    EXPECT_EQ(type, 2);
    EXPECT_STREQ(name, "tdc-8-ad");
    EXPECT_EQ(onlyRequest(), kGetDevices);
    EXPECT_EQ(ci_get_device(handle, 2, nullptr, name, sizeof name), 0);
    EXPECT_STREQ(name, "spare");
}

TEST_F(DeviceList, GetDeviceCutsTheNameToTheBuffer) {
    service.replyJson(listReply(kThreeDevices));
    service.replyJson(listReply(kThreeDevices));
    char name[8];
    std::memset(name, 'z', sizeof name);
    EXPECT_EQ(ci_get_device(handle, 0, nullptr, name, 1), 0);
    EXPECT_EQ(name[0], '\0');
    EXPECT_EQ(name[1], 'z');
    // A name of exactly name_len characters loses its last one to the NUL.
    EXPECT_EQ(ci_get_device(handle, 0, nullptr, name, 6), 0);
    EXPECT_STREQ(name, "tdc-1");
}

TEST_F(DeviceList, GetDeviceRefusesBadArgumentsBeforeSending) {
    char name[8];
    EXPECT_EQ(ci_get_device(handle, -1, nullptr, name, sizeof name), -1);
    EXPECT_EQ(ci_get_device(handle, 0, nullptr, nullptr, 8), -1);
    EXPECT_EQ(ci_get_device(handle, 0, nullptr, name, 0), -1);
    EXPECT_TRUE(service.requests().empty());
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(DeviceList, GetDeviceFailsForAMissingEntryAndLeavesTheOutputs) {
    service.replyJson(listReply(kThreeDevices));
    service.replyJson(listReply(json::array({"junk"})));
    service.reply("{\"result\":0}\n");
    service.replyJson(listReply(json::array({{{"device_type", 1.5}, {"device_name", true}}})));
    int type = -1;
    char name[8] = "keep";
    EXPECT_EQ(ci_get_device(handle, 3, &type, name, sizeof name), -1);
    EXPECT_EQ(ci_get_device(handle, 0, &type, name, sizeof name), -1);
    EXPECT_EQ(ci_get_device(handle, 0, &type, name, sizeof name), -1);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(ci_get_device(handle, 0, &type, name, sizeof name), -1);
    EXPECT_EQ(type, -1);
    EXPECT_STREQ(name, "keep");
    const std::vector<std::string> expected = {"Get device exception: member \"device_name\" is not a string"};
    EXPECT_EQ(log.errors(), expected);
}

TEST_F(DeviceList, BinaryReplyFailsEachListFunctionUnderItsOwnName) {
    char name[8];
    const std::pair<std::function<int()>, std::string> calls[] = {
        {[&] { return ci_get_devices(handle, nullptr, 0); }, "Get devices"},
        {[&] { return ci_get_device_num(handle); }, "Get device num"},
        {[&] { return ci_get_device(handle, 0, nullptr, name, sizeof name); }, "Get device"},
    };
    for (const auto& [call, operation] : calls) {
        log.clear();
        service.replyBinary("xyz");
        EXPECT_EQ(call(), -1) << operation;
        const auto errors = log.errors();
        ASSERT_EQ(errors.size(), 1u) << operation;
        EXPECT_EQ(errors[0].rfind(operation + " exception: ", 0), 0u) << errors[0];
        EXPECT_NE(errors[0].find("variant"), std::string::npos) << errors[0];
    }
}

}  // namespace
