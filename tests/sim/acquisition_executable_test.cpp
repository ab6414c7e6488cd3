// Raw acquisition and count rates of the real veltrano-sim program over TCP,
// checked the way end-to-end tests of the library check them: the bytes a
// client received against the checksum "sim_acq_stats" reports.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sim/model/common/fnv1a.h"
#include "support/loopback.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace {

using Json = nlohmann::json;
using veltrano::sim::Fnv1a64;
using veltest::LoopbackClient;
using veltest::SimProcess;

const std::string kSimulator = VELTRANO_SIM_EXECUTABLE;

const std::string kLightSignal =
    "[instrument]\nchannels = 4\n[background]\nrate_hz = 5000\n[clock]\nenabled = false\nchannel = 4\n";

std::vector<std::uint8_t> fetch(LoopbackClient& client) {
    client.sendRaw(Json{{"cmd", "fetch_rawdata"}}.dump() + "\n");
    return client.readBinary();
}

std::string checksum(const std::vector<std::uint8_t>& bytes) {
    Fnv1a64 hash;
    hash.update(bytes.data(), bytes.size());
    return Fnv1a64::hex(hash.value());
}

class SimExecutableAcquisition : public ::testing::Test {
protected:
    std::string config(const std::string& extra) {
        return veltest::writeTextFile(dir_.path() / "sim.ini", kLightSignal + extra).string();
    }
    veltest::TempDir dir_;
};

TEST_F(SimExecutableAcquisition, FetchedStreamMatchesTheReportedLengthAndChecksum) {
    SimProcess sim(kSimulator, {"--config", config("")}, 11);
    LoopbackClient client(sim.port());
    ASSERT_EQ(client.call(Json{{"cmd", "acq_rawdata"}, {"data_mode", 0}, {"duration", 1}, {"folder_path", ""},
                               {"file_name", ""}, {"max_volume_size", 0}, {"force_close", false}}),
              (Json{{"result", 0}}));
    std::vector<std::uint8_t> stream;
    Json stats;
    while (true) {
        const std::vector<std::uint8_t> bytes = fetch(client);
        stream.insert(stream.end(), bytes.begin(), bytes.end());
        if (!bytes.empty()) continue;
        stats = client.call(Json{{"cmd", "sim_acq_stats"}})["data"];
        if (stats["state"] == "ended" && stats["bytes_pending"] == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_GT(stream.size(), 0u);
    EXPECT_EQ(stats["bytes_fetched"], stream.size());
    EXPECT_EQ(stats["bytes_produced"], stream.size());
    EXPECT_EQ(stats["fetched_fnv1a64"], checksum(stream));
    EXPECT_EQ(stats["events"], stream.size() / 16);
    EXPECT_EQ(client.call(Json{{"cmd", "is_rawdata_processing"}})["data"]["value"], false);
}

TEST_F(SimExecutableAcquisition, StreamModeHandsOutConfiguredChunksUpToTheTotal) {
    SimProcess sim(kSimulator, {"--config", config("[stream]\nchunk_bytes = 1048576\ntotal_bytes = 3670016\n")});
    LoopbackClient client(sim.port());
    ASSERT_EQ(client.call(Json{{"cmd", "acq_rawdata"}, {"data_mode", 1}, {"duration", 60}})["result"], 0);
    std::vector<std::uint8_t> stream;
    std::vector<std::size_t> sizes;
    for (std::vector<std::uint8_t> bytes = fetch(client); !bytes.empty(); bytes = fetch(client)) {
        sizes.push_back(bytes.size());
        stream.insert(stream.end(), bytes.begin(), bytes.end());
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{1 << 20, 1 << 20, 1 << 20, 1 << 19}));
    const Json stats = client.call(Json{{"cmd", "sim_acq_stats"}})["data"];
    EXPECT_EQ(stats["state"], "ended");
    EXPECT_EQ(stats["bytes_fetched"], 3670016);
    EXPECT_EQ(stats["fetched_fnv1a64"], checksum(stream));
}

TEST_F(SimExecutableAcquisition, ServiceSideVolumesAreCompleteWhenWaitDataReadyAnswers) {
    SimProcess sim(kSimulator, {"--config", config("[acquisition]\ndata_dir = " + dir_.str() + "\n")});
    LoopbackClient client(sim.port());
    ASSERT_EQ(client.call(Json{{"cmd", "acq_rawdata"}, {"data_mode", 0}, {"duration", 1}, {"folder_path", "runs"},
                               {"file_name", "run"}, {"max_volume_size", 1}, {"force_close", true}}),
              (Json{{"result", 0}}));
    EXPECT_EQ(client.call(Json{{"cmd", "wait_data_ready"}, {"timeout_ms", 60000}}), (Json{{"result", 0}}));
    const Json stats = client.call(Json{{"cmd", "sim_acq_stats"}})["data"];
    ASSERT_FALSE(stats["files"].empty());
    EXPECT_EQ(stats["files"][0], (dir_.path() / "runs" / "run.bin").string());
    std::vector<std::uint8_t> all;
    for (const auto& path : stats["files"]) {
        const std::string text = veltest::readTextFile(path.get<std::string>());
        all.insert(all.end(), text.begin(), text.end());
    }
    EXPECT_EQ(stats["bytes_written"], all.size());
    EXPECT_EQ(stats["written_fnv1a64"], checksum(all));
    EXPECT_EQ(client.call(Json{{"cmd", "is_rawdata_processing"}})["data"]["value"], false);
}

TEST_F(SimExecutableAcquisition, RateRecordingAnswersRowsForEveryChannel) {
    SimProcess sim(kSimulator, {"--config", config("")});
    LoopbackClient client(sim.port());
    ASSERT_EQ(client.call(Json{{"cmd", "start_single_cps_recording"}}), (Json{{"result", 0}}));
    std::this_thread::sleep_for(std::chrono::milliseconds(350));  // at least three samples 100 ms apart
    client.sendRaw(Json{{"cmd", "get_singlecps_data"}}.dump() + "\n");
    const std::vector<std::uint8_t> payload = client.readBinary();
    const std::string text(payload.begin(), payload.end());
    const auto lines = std::count(text.begin(), text.end(), '\n');
    EXPECT_GE(lines, 3 * 4);
    EXPECT_EQ(lines % 4, 0);
    EXPECT_EQ(text.substr(0, 6), "100,1,");
}

}  // namespace
