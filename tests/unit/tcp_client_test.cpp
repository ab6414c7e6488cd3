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

// Every byte in its own send: the client sees the reply split at each boundary.
std::vector<std::string> oneBytePieces(const std::string& bytes) {
    std::vector<std::string> pieces;
    for (char c : bytes) {
        pieces.emplace_back(1, c);
    }
    return pieces;
}

class TcpClientExchange : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(client.connect()); }

    veltest::FakeService service;
    TcpClient client{"127.0.0.1", service.port()};
};

TEST_F(TcpClientExchange, ReadsRepliesSplitAtEveryByteBoundary) {
    service.replyInPieces(oneBytePieces("{\"data\":[1,2],\"result\":0}\r\n"));
    service.replyInPieces(oneBytePieces(veltest::FakeService::lengthHeader(3) + std::string("\0\n{", 3)));
    service.replyJson({{"result", 7}});

    EXPECT_EQ(client.sendJson({{"cmd", "a"}}).getJson(), nlohmann::json({{"data", {1, 2}}, {"result", 0}}));
    const CommandResponse binary = client.sendJson({{"cmd", "b"}});
    EXPECT_EQ((binary.getBinary()), (std::vector<uint8_t>{0, '\n', '{'}));
    // The next exchange starts right after the frame: nothing was read ahead.
    EXPECT_EQ(client.sendJson({{"cmd", "c"}}).getJson(), nlohmann::json({{"result", 7}}));
}

TEST_F(TcpClientExchange, SixteenMebibyteFrameArrivesWhole) {
    std::string payload(16u << 20, '\0');
    for (size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<char>((i * 2654435761u) >> 11);
    }
    service.replyBinary(payload);
    service.replyJson({{"result", 0}});
    const CommandResponse response = client.sendJson({{"cmd", "big"}});
    const auto& bytes = response.getBinary();
    EXPECT_TRUE(std::string(bytes.begin(), bytes.end()) == payload);
    EXPECT_EQ(client.sendJson({{"cmd", "after"}}).getJson(), nlohmann::json({{"result", 0}}));
}

TEST_F(TcpClientExchange, PeerClosingInsideAFrameIsAFullDataError) {
    service.replyThenClose(veltest::FakeService::lengthHeader(100000) + std::string(70000, 'x'));
    EXPECT_EQ(runtimeErrorOfSend(client), "Failed to read full binary data");
}

}  // namespace
