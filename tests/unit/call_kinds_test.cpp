// The call kinds against a scripted service: what they send, what they store
// for every reply shape, what they return and what they log.

#include "api/session_registry.h"
#include "net/call_kinds.h"
#include "support/service_session.h"

#include <cstring>
#include <functional>

namespace {

using nlohmann::json;
using CallKinds = veltest::ServiceSessionTest;

const json kRequest = {{"cmd", "get_x"}, {"channel", 2}};

TEST_F(CallKinds, SendExactlyTheRequestLine) {
    vel::callPlain(context(), kRequest);
    EXPECT_EQ(onlyRequest(), "{\"channel\":2,\"cmd\":\"get_x\"}\n");
}

TEST_F(CallKinds, PassServiceCodesThroughAndLeaveOutputsWithoutData) {
    service.replyJson({{"result", 3}});
    service.replyJson({{"result", 3}});
    int value = 42;
    EXPECT_EQ(vel::callPlain(context(), kRequest), 3);
    EXPECT_EQ(vel::callWithI32Value(context(), kRequest, &value), 3);
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(CallKinds, ReadResultStrictly) {
    // Missing, text, boolean and out-of-range results all read as -1, unlogged.
    for (const char* reply : {"{}\n", "{\"result\":\"0\"}\n", "{\"result\":true}\n", "{\"result\":4294967296}\n",
                              "[0]\n", "{\"result\":-1}\n"}) {
        service.reply(reply);
        EXPECT_EQ(vel::callPlain(context(), kRequest), -1) << reply;
    }
    service.reply("{\"result\":2.9}\n");
    EXPECT_EQ(vel::callPlain(context(), kRequest), 2);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(CallKinds, I32ValueFollowsEveryDataShape) {
    struct Case {
        const char* reply;
        int stored;
    } cases[] = {
        {R"({"result":0,"data":7})", 7},
        {R"({"result":0,"data":-7.9})", -7},
        {R"({"result":0,"data":{"status":0,"value":5}})", 5},
        {R"({"result":0,"data":{"status":0}})", 0},
        {R"({"result":0,"data":{"status":1,"value":5}})", 0},
        {R"({"result":0,"data":{"value":5}})", 0},
        {R"({"result":0,"data":{"status":0,"value":"5"}})", 0},
        {R"({"result":0,"data":"5"})", 0},
        {R"({"result":0,"data":true})", 0},
        {R"({"result":0,"data":1e20})", 0},
        {R"({"result":9,"data":{"status":0,"value":12}})", 12},
    };
    for (const auto& c : cases) {
        service.reply(std::string(c.reply) + "\n");
        int value = 123;
        vel::callWithI32Value(context(), kRequest, &value);
        EXPECT_EQ(value, c.stored) << c.reply;
    }
}

TEST_F(CallKinds, F64ValueKeepsFractionsAndDefaultsToZero) {
    service.reply(R"({"result":0,"data":{"status":0,"value":36.25}})"
                  "\n");
    service.reply(R"({"result":0,"data":3})"
                  "\n");
    service.reply(R"({"result":0,"data":{"status":2,"value":1.5}})"
                  "\n");
    double value = -1;
    EXPECT_EQ(vel::callWithF64Value(context(), kRequest, &value), 0);
    EXPECT_EQ(value, 36.25);
    vel::callWithF64Value(context(), kRequest, &value);
    EXPECT_EQ(value, 3.0);
    vel::callWithF64Value(context(), kRequest, &value);
    EXPECT_EQ(value, 0.0);
}

TEST_F(CallKinds, BoolValueAcceptsOnlyBooleans) {
    struct Case {
        const char* reply;
        bool stored;
    } cases[] = {
        {R"({"result":0,"data":true})", true},
        {R"({"result":0,"data":1})", false},
        {R"({"result":0,"data":{"status":0,"value":true}})", true},
        {R"({"result":0,"data":{"status":0,"value":1}})", false},
        {R"({"result":0,"data":{"status":1,"value":true}})", false},
    };
    for (const auto& c : cases) {
        service.reply(std::string(c.reply) + "\n");
        bool value = !c.stored;
        vel::callWithBoolValue(context(), kRequest, &value);
        EXPECT_EQ(value, c.stored) << c.reply;
    }
}

TEST_F(CallKinds, StringValueCutsTextAtCapacityMinusOneAndTerminates) {
    service.reply(R"({"result":0,"data":{"status":0,"value":"abcdef"}})"
                  "\n");
    char buffer[8];
    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(vel::callWithStringValue(context(), kRequest, buffer, 4), 0);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(buffer[4], 'z');
}

TEST_F(CallKinds, StringValueLeavesTheBufferForInvalidOrNonText) {
    for (const char* reply : {R"({"result":0,"data":{"status":1,"value":"x"}})",
                              R"({"result":0,"data":{"status":0,"value":5}})", R"({"result":0,"data":5})"}) {
        service.reply(std::string(reply) + "\n");
        char buffer[8] = "keep";
        vel::callWithStringValue(context(), kRequest, buffer, sizeof buffer);
        EXPECT_STREQ(buffer, "keep") << reply;
    }
    service.reply(R"({"result":0,"data":"bare"})"
                  "\n");
    service.reply(R"({"result":0,"data":{"status":0}})"
                  "\n");
    char buffer[8] = "keep";
    vel::callWithStringValue(context(), kRequest, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "bare");
    vel::callWithStringValue(context(), kRequest, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "");
}

TEST_F(CallKinds, StringValueWithoutBufferStillSendsAndReturnsResult) {
    service.reply(R"({"result":5,"data":"x"})"
                  "\n");
    EXPECT_EQ(vel::callWithStringValue(context(), kRequest, nullptr, 16), 5);
    EXPECT_EQ(service.requests().size(), 1u);
}

TEST_F(CallKinds, IpValueNeedsAValidStatusForBothBuffers) {
    service.reply(R"({"result":0,"data":{"local_ip":"10.0.0.1","device_ip":"10.0.0.2"}})"
                  "\n");
    service.reply(R"({"result":0,"data":{"status":0,"local_ip":"10.0.0.1"}})"
                  "\n");
    char local[16] = "keep";
    char device[16] = "keep";
    vel::callWithIpValue(context(), kRequest, local, sizeof local, device, sizeof device);
    EXPECT_STREQ(local, "keep");
    EXPECT_STREQ(device, "keep");
    vel::callWithIpValue(context(), kRequest, local, sizeof local, device, 4);
    EXPECT_STREQ(local, "10.0.0.1");
    EXPECT_STREQ(device, "");
}

TEST_F(CallKinds, MacAndNetportValuesReadTheirNamedMembers) {
    service.reply(R"({"result":0,"data":{"status":0,"device_mac":"00:1A:2B:3C:4D:5E"}})"
                  "\n");
    service.reply(R"({"result":0,"data":{"status":0,"local_port":7000}})"
                  "\n");
    service.reply(R"({"result":0,"data":{"status":3,"local_port":1,"device_port":2}})"
                  "\n");
    char mac[9];
    vel::callWithMacValue(context(), kRequest, mac, sizeof mac);
    EXPECT_STREQ(mac, "00:1A:2B");
    int local = -5;
    int device = -5;
    vel::callWithNetportValue(context(), kRequest, &local, &device);
    EXPECT_EQ(local, 7000);
    EXPECT_EQ(device, 0);
    vel::callWithNetportValue(context(), kRequest, &local, nullptr);
    EXPECT_EQ(local, 7000);
}

TEST_F(CallKinds, ReturnedIntIsTheValueOrMinusOne) {
    struct Case {
        const char* reply;
        int returned;
    } cases[] = {
        {R"({"result":0,"data":7})", 7},
        {R"({"result":4,"data":7})", 7},
        {R"({"result":0,"data":{"status":0,"value":16}})", 16},
        {R"({"result":0,"data":{"status":0}})", -1},
        {R"({"result":0,"data":{"status":1,"value":5}})", -1},
        {R"({"result":0})", -1},
        {R"({"result":-1,"data":7})", -1},
        {R"({"data":7})", -1},
        {R"({"result":0,"data":"7"})", -1},
    };
    for (const auto& c : cases) {
        service.reply(std::string(c.reply) + "\n");
        EXPECT_EQ(vel::callReturningInt(context(), kRequest), c.returned) << c.reply;
    }
}

TEST_F(CallKinds, BinaryWhereJsonIsExpectedFailsAndIsLogged) {
    service.replyBinary("abc");
    int value = 9;
    EXPECT_EQ(vel::callWithI32Value(context(), kRequest, &value), -1);
    EXPECT_EQ(value, 9);
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Generic json call with i32 value exception: ", 0), 0u) << errors[0];
    EXPECT_NE(errors[0].find("variant"), std::string::npos) << errors[0];
}

TEST_F(CallKinds, EveryKindNamesItselfInItsFailureLine) {
    const std::vector<std::pair<std::function<int()>, std::string>> calls = {
        {[&] { return vel::callPlain(context(), kRequest); }, "Generic json call"},
        {[&] { return vel::callWithI32Value(context(), kRequest, nullptr); }, "Generic json call with i32 value"},
        {[&] { return vel::callWithF64Value(context(), kRequest, nullptr); }, "Generic json call with f64 value"},
        {[&] { return vel::callWithBoolValue(context(), kRequest, nullptr); }, "Generic json call with bool value"},
        {[&] { return vel::callWithStringValue(context(), kRequest, nullptr, 0); },
         "Generic json call with string value"},
        {[&] { return vel::callWithIpValue(context(), kRequest, nullptr, 0, nullptr, 0); },
         "Generic json call with ip value"},
        {[&] { return vel::callWithMacValue(context(), kRequest, nullptr, 0); }, "Generic json call with mac value"},
        {[&] { return vel::callWithNetportValue(context(), kRequest, nullptr, nullptr); },
         "Generic json call with netport value"},
        {[&] { return vel::callReturningInt(context(), kRequest); }, "Generic json call returned int value"},
    };
    for (const auto& [call, kindText] : calls) {
        log.clear();
        service.reply("{\"result\":0,}\n");
        EXPECT_EQ(call(), -1) << kindText;
        const auto errors = log.errors();
        ASSERT_EQ(errors.size(), 1u) << kindText;
        EXPECT_EQ(errors[0].rfind(kindText + " exception: [json.exception.parse_error", 0), 0u) << errors[0];
    }
}

TEST_F(CallKinds, PeerClosingMidFrameIsReportedAndLaterCallsFailWithoutHanging) {
    service.replyThenClose(veltest::FakeService::lengthHeader(5) + "abc");
    EXPECT_EQ(vel::callPlain(context(), kRequest), -1);
    EXPECT_EQ(vel::callPlain(context(), kRequest), -1);
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "Generic json call exception: Failed to read full binary data");
    EXPECT_EQ(errors[1].rfind("Generic json call exception: ", 0), 0u);
}

TEST_F(CallKinds, ClosedConnectionFailsWithSocketNotConnected) {
    // A session still registered whose connection has been closed.
    auto session = InstInstance::create();
    session->attachConnection(std::make_unique<TcpClient>("127.0.0.1", service.port()));
    ASSERT_TRUE(session->connection->connect());
    session->connection->disconnect();
    const uint64_t closed = vel::SessionRegistry::add(session);
    EXPECT_EQ(vel::callWithI32Value(session->context, kRequest, nullptr), -1);
    ci_destroy(closed);
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Generic json call with i32 value exception: Socket not connected");
}

TEST_F(CallKinds, UnknownHandlesAndSessionsWithoutConnectionFailSilently) {
    auto bare = InstInstance::create();
    const uint64_t noConnection = vel::SessionRegistry::add(bare);
    int value = 4;
    EXPECT_EQ(vel::callWithI32Value(bare->context, kRequest, &value), -1);
    EXPECT_EQ(ci_get_acq_dataformat(noConnection), -1);
    EXPECT_EQ(ci_get_acq_dataformat(0), -1);
    EXPECT_EQ(ci_wait_data_ready(handle + 1000, 1), -1);
    ci_destroy(noConnection);
    // A worker thread may still hold a destroyed session: its calls fail quietly.
    const vel::SessionPtr destroyed = vel::SessionRegistry::lookup(handle);
    ci_destroy(handle);
    EXPECT_EQ(vel::callPlain(destroyed->context, kRequest), -1);
    EXPECT_EQ(value, 4);
    EXPECT_TRUE(service.requests().empty());
    EXPECT_TRUE(log.lines().empty());
}

}  // namespace

namespace {

using CallKindsFilling = veltest::ServiceSessionTest;

TEST_F(CallKindsFilling, WrongTypedMemberStopsTheFillingQuietly) {
    service.reply(R"({"result":4,"data":{"status":0,"local_ip":"10.0.0.1","device_ip":7}})"
                  "\n");
    service.reply(R"({"result":0,"data":{"status":0,"local_port":"x","device_port":9}})"
                  "\n");
    char local[16] = "keep";
    char device[16] = "keep";
    EXPECT_EQ(vel::callWithIpValue(context(), {{"cmd", "get_ips"}}, local, sizeof local, device, sizeof device), 4);
    EXPECT_STREQ(local, "10.0.0.1");
    EXPECT_STREQ(device, "keep");
    int localPort = -1;
    int devicePort = -1;
    EXPECT_EQ(vel::callWithNetportValue(context(), {{"cmd", "get_netports"}}, &localPort, &devicePort), 0);
    EXPECT_EQ(localPort, -1);
    EXPECT_EQ(devicePort, -1);
    EXPECT_TRUE(log.lines().empty());
}

}  // namespace
