// The real veltrano-sim program, started on a free port.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "support/loopback.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace {

using Json = nlohmann::json;
using veltest::LoopbackClient;
using veltest::SimProcess;

const std::string kSimulator = VELTRANO_SIM_EXECUTABLE;

TEST(SimExecutable, AnswersGarbageWithErrorsAndValidRequestsWithResults) {
    SimProcess sim(kSimulator);
    ASSERT_GT(sim.port(), 0);
    LoopbackClient client(sim.port());
    client.sendRaw(std::string("\x01\x02\xff{{{", 6) + "\n");
    EXPECT_EQ(client.readJson()["result"], 2);
    EXPECT_EQ(client.call(Json{{"cmd", "bogus"}})["result"], 1);
    EXPECT_EQ(client.call(Json{{"cmd", "connect"}, {"device_type", 1}}), (Json{{"result", 0}}));
    EXPECT_EQ(client.call(Json{{"cmd", "get_channelnum"}})["data"]["value"], 16);
}

TEST(SimExecutable, SecondConnectionKeepsWorkingWhileTheFirstSendsGarbage) {
    SimProcess sim(kSimulator);
    LoopbackClient bad(sim.port());
    LoopbackClient good(sim.port());
    bad.sendRaw(std::string(2'000'000, '\x7b'));  // longer than a request line may be, no line feed
    EXPECT_EQ(bad.readJson()["result"], 2);     // reported as soon as the limit is passed
    EXPECT_EQ(good.call(Json{{"cmd", "get_fwversion"}})["result"], 0);
    bad.sendRaw("\n" + Json{{"cmd", "get_boardid"}}.dump() + "\n");
    EXPECT_EQ(bad.readJson()["result"], 0);
}

TEST(SimExecutable, ExitsCleanlyOnSigterm) {
    SimProcess sim(kSimulator);
    LoopbackClient client(sim.port());  // an open connection must not hold it up
    const int status = sim.stop();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(SimExecutable, ReadsItsConfigurationFile) {
    const veltest::TempDir dir;
    const auto path = dir.path() / "sim.ini";
    std::ofstream(path) << "[instrument]\nchannels = 8\nserial_number = SN-TEST\n";
    SimProcess sim(kSimulator, {"--config", path.string()});
    LoopbackClient client(sim.port());
    EXPECT_EQ(client.call(Json{{"cmd", "get_channelnum"}})["data"]["value"], 8);
    EXPECT_EQ(client.call(Json{{"cmd", "get_productsn"}})["data"]["value"], "SN-TEST");
    EXPECT_EQ(client.call(Json{{"cmd", "enable_channel"}, {"channel", 9}})["result"], 4);
    std::filesystem::remove_all(path.parent_path());
}

TEST(SimExecutable, RefusesToStartWithAnUnusableConfiguration) {
    const veltest::TempDir dir;
    const auto path = dir.path() / "sim.ini";
    std::ofstream(path) << "[instrument]\nchannels = lots\n";
    EXPECT_THROW(SimProcess(kSimulator, {"--config", path.string()}), std::runtime_error);
    EXPECT_THROW(SimProcess(kSimulator, {"--no-such-option"}), std::runtime_error);
}

TEST(LibraryConfigFile, PointsTheLibraryAtTheGivenPort) {
    const veltest::TempDir dir;
    const std::string path = veltest::writeLibraryConfig((dir.path() / "nested").string(), 40123);
    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "[server]\nserver.ip = 127.0.0.1\nserver.port = 40123\n");
}

}  // namespace
