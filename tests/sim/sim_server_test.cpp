// The server layer in process: real sockets, one shared instrument.
#include <gtest/gtest.h>

#include <thread>

#include "sim/protocol/command_catalogue.h"
#include "sim/server/sim_server.h"
#include "support/loopback.h"

namespace veltrano::sim {
namespace {

using nlohmann::json;
using veltest::LoopbackClient;

class SimServerTest : public ::testing::Test {
protected:
    SimServerTest() {
        ServerOptions options;
        options.port = 0;
        options.maxLineBytes = 4096;
        server_ = std::make_unique<SimServer>(options, instrument_, table_);
        thread_ = std::thread([this] { server_->run(); });
    }
    ~SimServerTest() override {
        server_->stop();
        thread_.join();
    }

    Instrument instrument_{InstrumentConfig{}, std::make_shared<ManualSimClock>()};
    CommandTable table_ = makeCommandTable();
    std::unique_ptr<SimServer> server_;
    std::thread thread_;
};

TEST_F(SimServerTest, AnswersPipelinedRequestsOneEachInOrder) {
    LoopbackClient client(server_->port());
    std::string batch;
    for (int ch = 1; ch <= 16; ++ch) {
        batch += Json{{"cmd", "set_interdelay"}, {"channel", ch}, {"value", ch * 100}}.dump() + "\n";
        batch += Json{{"cmd", "get_interdelay"}, {"channel", ch}}.dump() + "\r\n";
    }
    client.sendRaw(batch);
    for (int ch = 1; ch <= 16; ++ch) {
        EXPECT_EQ(client.readJson(), (Json{{"result", 0}}));
        EXPECT_EQ(client.readJson()["data"]["value"], ch * 100);
    }
}

TEST_F(SimServerTest, ConnectionsShareTheOneInstrument) {
    LoopbackClient first(server_->port());
    LoopbackClient second(server_->port());
    ASSERT_EQ(first.call(Json{{"cmd", "set_dac"}, {"channel", 9}, {"value", -0.3}})["result"], 0);
    EXPECT_EQ(second.call(Json{{"cmd", "get_dac"}, {"channel", 9}})["data"]["value"], -0.3);
}

TEST_F(SimServerTest, SecondConnectionKeepsWorkingWhileTheFirstSendsGarbage) {
    LoopbackClient bad(server_->port());
    LoopbackClient good(server_->port());
    std::string garbage;
    for (int i = 0; i < 3000; ++i) garbage.push_back(static_cast<char>((i * 37 + 11) % 256 == '\n' ? 0 : (i * 37 + 11) % 256));
    bad.sendRaw(garbage);  // 3000 bytes, no line feed yet: an unfinished request
    EXPECT_EQ(good.call(Json{{"cmd", "get_channelnum"}})["data"]["value"], 16);
    bad.sendRaw("\n");
    EXPECT_EQ(bad.readJson()["result"], 2);
    EXPECT_EQ(bad.call(Json{{"cmd", "get_channelnum"}})["data"]["value"], 16);
    EXPECT_EQ(good.call(Json{{"cmd", "get_channelnum"}})["data"]["value"], 16);
}

TEST_F(SimServerTest, OverlongLineGetsOneErrorAndTheConnectionGoesOn) {
    LoopbackClient client(server_->port());
    client.sendRaw(std::string(20000, 'x') + "\n" + Json{{"cmd", "get_boardid"}}.dump() + "\n");
    EXPECT_EQ(client.readJson(), (Json{{"result", 2}, {"error", "request line longer than 4096 bytes"}}));
    EXPECT_EQ(client.readJson()["data"]["value"], 0);
}

TEST_F(SimServerTest, PeerVanishingMidRequestDisturbsNoOne) {
    {
        LoopbackClient leaving(server_->port());
        leaving.sendRaw("{\"cmd\":\"get_d");
    }
    LoopbackClient staying(server_->port());
    EXPECT_EQ(staying.call(Json{{"cmd", "get_devicetype"}})["data"]["value"], 1);
}

TEST_F(SimServerTest, StopEndsOpenConnections) {
    LoopbackClient client(server_->port());
    ASSERT_EQ(client.call(Json{{"cmd", "self_check"}})["result"], 0);
    server_->stop();
    EXPECT_TRUE(client.peerClosed());
}

}  // namespace
}  // namespace veltrano::sim
