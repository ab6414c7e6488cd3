// The connection object itself: connecting, closing, and the exchange guard.

#include "net/tcp_client.h"
#include "support/fake_service.h"

#include <gtest/gtest.h>


namespace {

std::string runtimeErrorOfSend(TcpClient& client) {
    try {
        client.sendJson({{"cmd", "x"}});
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no error";
}

TEST(TcpClientConnection, RefusedOrUnresolvableEndpointsFailWithoutThrowing) {
    int freePort;
    {
        veltest::FakeService probe;
        freePort = probe.port();
    }
    TcpClient refused("127.0.0.1", freePort);
    EXPECT_FALSE(refused.connect());
    TcpClient negative("127.0.0.1", -5);
    EXPECT_FALSE(negative.connect());
    TcpClient unresolvable("no such host.invalid", 6789);
    EXPECT_FALSE(unresolvable.connect());
    EXPECT_EQ(runtimeErrorOfSend(refused), "Socket not connected");
}

TEST(TcpClientConnection, DisconnectIsHarmlessTwiceAndBeforeConnecting) {
    veltest::FakeService service;
    TcpClient never("127.0.0.1", service.port());
    never.disconnect();
    TcpClient client("127.0.0.1", service.port());
    ASSERT_TRUE(client.connect());
    client.disconnect();
    client.disconnect();
    EXPECT_EQ(runtimeErrorOfSend(client), "Socket not connected");
    EXPECT_TRUE(service.requests().empty());
}

}  // namespace
