// Raw acquisitions through the shared library against the simulator: the bytes
// fetched in memory, or written to volume files, must be exactly the stream
// the simulator produced. The simulator reports the length and FNV-1a 64
// checksum of what it produced and handed out ("sim_acq_stats"), asked on a
// second connection of the test's own.

#include "sim/model/common/fnv1a.h"
#include "support/loopback.h"
#include "support/sim_session.h"
#include "support/temp_dir.h"

#include <veltranoapi/veltranoapi.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr int kDurationSeconds = 2;
constexpr int64_t kDurationPs = int64_t{kDurationSeconds} * 1000000000000;

std::string fnv1a64(const std::string& bytes) {
    veltrano::sim::Fnv1a64 hash;
    hash.update(bytes.data(), bytes.size());
    return veltrano::sim::Fnv1a64::hex(hash.value());
}

template <class T>
T readLittleEndian(const std::string& bytes, size_t offset) {
    T value{};
    std::memcpy(&value, bytes.data() + offset, sizeof value);  // the test hosts are little-endian
    return value;
}

// The stream holds whole records in time order, numbered from 0 without a gap,
// all within the acquisition's duration: no byte was lost, doubled or moved.
void expectConsecutiveRecords(const std::string& stream, size_t recordSize) {
    ASSERT_EQ(stream.size() % recordSize, 0u);
    const size_t records = stream.size() / recordSize;
    ASSERT_GT(records, 1000u);
    int64_t previousTag = 0;
    for (size_t i = 0; i < records; ++i) {
        const size_t at = i * recordSize;
        const auto tag = readLittleEndian<int64_t>(stream, at);
        const auto channel = readLittleEndian<uint32_t>(stream, at + 8);
        const auto sequence = readLittleEndian<uint32_t>(stream, at + 12);
        ASSERT_EQ(sequence, static_cast<uint32_t>(i)) << "record " << i;
        ASSERT_GE(tag, previousTag) << "record " << i;
        ASSERT_LT(tag, kDurationPs) << "record " << i;
        ASSERT_GE(channel, 1u) << "record " << i;
        previousTag = tag;
    }
}

class RawAcquisitionEndToEnd : public veltest::SimSessionTest {
protected:
    void SetUp() override {
        SimSessionTest::SetUp();
        if (!IsSkipped() && !HasFatalFailure()) {
            stats_ = std::make_unique<veltest::LoopbackClient>(port());
        }
    }

    // Waits until the simulator has produced the whole duration and the
    // library has fetched all of it.
    json waitUntilEverythingFetched() {
        for (;;) {
            json s = stats_->call({{"cmd", "sim_acq_stats"}}).at("data");
            if (s.at("state") != "running" && s.at("bytes_pending") == 0) {
                return s;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    // The final report, once it must match what the library received.
    void expectStreamMatches(const json& s, const std::string& received) {
        EXPECT_EQ(s.at("state"), "ended");
        EXPECT_EQ(s.at("bytes_dropped"), 0);
        EXPECT_EQ(s.at("bytes_pending"), 0);
        EXPECT_EQ(s.at("bytes_produced"), received.size());
        EXPECT_EQ(s.at("bytes_fetched"), received.size());
        EXPECT_EQ(s.at("produced_fnv1a64"), fnv1a64(received));
        EXPECT_EQ(s.at("fetched_fnv1a64"), fnv1a64(received));
    }

private:
    std::unique_ptr<veltest::LoopbackClient> stats_;
};

TEST_F(RawAcquisitionEndToEnd, BytesFetchedInMemoryAreExactlyTheProducedStream) {
    ASSERT_EQ(ci_set_acq_dataformat(handle, 0), 0);
    ASSERT_EQ(ci_acq_rawdata(handle, 0, kDurationSeconds, "", "", 0, 0), 0);
    // With a long time-out, null means the library's thread has given up after
    // the duration and every byte it received has been handed over.
    const std::string received = veltest::fetchRawStream(handle);
    expectStreamMatches(waitUntilEverythingFetched(), received);
    expectConsecutiveRecords(received, 16);
    EXPECT_EQ(ci_stop_acq(handle), 0);
}

TEST_F(RawAcquisitionEndToEnd, VolumeFilesHoldExactlyTheProducedStream) {
    ASSERT_EQ(ci_set_acq_dataformat(handle, 1), 0);
    const fs::path folder = dir() / "volumes";
    ASSERT_EQ(ci_acq_rawdata_local(handle, 0, kDurationSeconds, folder.string().c_str(), "run", 1, 0), 0);
    const json s = waitUntilEverythingFetched();
    // The stop joins the writer, which writes what it still holds and closes
    // the last volume before the call returns.
    EXPECT_EQ(ci_stop_acq(handle), 0);

    // run_<timestamp>.dat, then run_<timestamp>_1.dat, _2, ... in index order.
    std::map<int, fs::path> volumes;
    const std::regex name("run_[0-9]{14}(_([0-9]+))?\\.dat");
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::smatch m;
        const std::string file = entry.path().filename().string();
        ASSERT_TRUE(std::regex_match(file, m, name)) << file;
        volumes[m[2].matched ? std::stoi(m[2].str()) : 0] = entry.path();
    }
    ASSERT_GE(volumes.size(), 2u);
    std::string stored;
    int expectedIndex = 0;
    for (const auto& [index, path] : volumes) {
        ASSERT_EQ(index, expectedIndex++);
        const std::string bytes = veltest::readTextFile(path);
        if (index + 1 < static_cast<int>(volumes.size())) {
            EXPECT_EQ(bytes.size(), 1048576u) << path;
        }
        stored += bytes;
    }
    expectStreamMatches(s, stored);
    expectConsecutiveRecords(stored, 24);
}

}  // namespace
