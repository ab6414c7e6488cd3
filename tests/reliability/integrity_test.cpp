// Nothing the library receives is lost, doubled, reordered or altered.
//
// Raw bytes: the simulator's stream mode hands out a fixed number of bytes
// as fast as they are fetched; the FNV-1a 64 checksum and length of what
// arrives through ci_fetch_rawdata, or in the volume files of
// ci_acq_rawdata_local read back in index order, must equal what the
// simulator reports it produced and handed out ("sim_acq_stats"). The size is
// VELTRANO_INTEGRITY_MIB (default 1024, 64 in sanitizer and 32-bit builds).
//
// Analysis raw points: a period run that ends by itself hands out each cycle
// once, in memory and in file mode: the cycles follow each other without a
// gap or a repeat, and there are exactly as many as the run's period
// histogram counted.

#include "e2e/analysis_csv.h"
#include "reliability/reliability_support.h"
#include "sim/model/common/fnv1a.h"
#include "support/loopback.h"
#include "support/sim_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using nlohmann::json;
using veltest::Points;
using veltrano::sim::Fnv1a64;

constexpr uint64_t kMiB = 1048576;
constexpr uint64_t kChunkBytes = 4 * kMiB;

uint64_t streamBytes() {
    return static_cast<uint64_t>(veltest::envCount("VELTRANO_INTEGRITY_MIB", veltest::kReducedBuild ? 64 : 1024)) *
           kMiB;
}

std::string streamConfig() {
    return "[stream]\nchunk_bytes = " + std::to_string(kChunkBytes) +
           "\ntotal_bytes = " + std::to_string(streamBytes()) + "\n";
}

// What arrived: its length and checksum, and the time from start to the last byte.
struct Arrival {
    uint64_t bytes = 0;
    Fnv1a64 checksum;
    double seconds = 0;

    void add(const void* data, std::size_t size) {
        checksum.update(data, size);
        bytes += size;
    }
};

class StreamIntegrity : public veltest::SimSessionTest {
protected:
    StreamIntegrity() : SimSessionTest(streamConfig()) {}

    // The simulator's account of the stream, asked once it has handed out all.
    void expectSimulatorAgrees(const Arrival& arrival) {
        veltest::LoopbackClient query(port());
        const json stats = query.call({{"cmd", "sim_acq_stats"}}).at("data");
        EXPECT_EQ(stats.at("data_mode"), 1);
        EXPECT_EQ(stats.at("bytes_dropped"), 0);
        EXPECT_EQ(stats.at("bytes_pending"), 0);
        EXPECT_EQ(stats.at("bytes_produced"), streamBytes());
        EXPECT_EQ(stats.at("bytes_fetched"), arrival.bytes);
        EXPECT_EQ(stats.at("produced_fnv1a64"), Fnv1a64::hex(arrival.checksum.value()));
        EXPECT_EQ(stats.at("fetched_fnv1a64"), Fnv1a64::hex(arrival.checksum.value()));
        std::printf("integrity: %.3f GiB in %.2f s, %.0f MiB/s\n",
                    static_cast<double>(arrival.bytes) / (1024.0 * kMiB), arrival.seconds,
                    static_cast<double>(arrival.bytes) / static_cast<double>(kMiB) / arrival.seconds);
    }
};

TEST_F(StreamIntegrity, FetchedBlocksAreTheWholeStreamOnceInOrder) {
    const Clock::time_point started = Clock::now();
    ASSERT_EQ(ci_acq_rawdata(handle, 1, 3600, nullptr, nullptr, 0, 0), 0);
    // Null with a long time-out: the library's thread has given up after the
    // stream ran dry, and every byte it received has been handed over.
    Arrival arrival;
    veltest::forEachRawBlock(handle, [&](const char* block, int size) {
        EXPECT_GT(size, 0);
        arrival.add(block, static_cast<std::size_t>(size));
    });
    arrival.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    EXPECT_EQ(arrival.bytes, streamBytes());
    expectSimulatorAgrees(arrival);
    EXPECT_EQ(ci_stop_acq(handle), 0);
}

TEST_F(StreamIntegrity, VolumeFilesReadInIndexOrderAreTheWholeStreamOnce) {
    const fs::path folder = dir() / "volumes";
    // Volumes of a quarter of the stream: several files, each switch mid-run.
    const int volumeMiB = static_cast<int>(std::max<uint64_t>(streamBytes() / kMiB / 4, 1));
    const Clock::time_point started = Clock::now();
    ASSERT_EQ(ci_acq_rawdata_local(handle, 1, 3600, folder.string().c_str(), "stream.bin", volumeMiB, 0), 0);
    // The simulator ends the stream once it has handed out every byte; the
    // stop then joins the writer, which writes what it still holds and cuts
    // the last volume to length.
    bool processing = true;
    while (processing) {
        ASSERT_EQ(ci_is_rawdata_processing(handle, &processing), 0);
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_EQ(ci_stop_acq(handle), 0);
    Arrival arrival;
    arrival.seconds = std::chrono::duration<double>(Clock::now() - started).count();

    std::map<int, fs::path> volumes;
    const std::regex name("stream(_([0-9]+))?\\.bin");
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::smatch m;
        const std::string file = entry.path().filename().string();
        ASSERT_TRUE(std::regex_match(file, m, name)) << file;
        volumes[m[2].matched ? std::stoi(m[2].str()) : 0] = entry.path();
    }
    ASSERT_EQ(volumes.size(), (streamBytes() + uint64_t(volumeMiB) * kMiB - 1) / (uint64_t(volumeMiB) * kMiB));
    std::vector<char> buffer(kChunkBytes);
    int expectedIndex = 0;
    for (const auto& [index, path] : volumes) {
        ASSERT_EQ(index, expectedIndex++) << "volumes are numbered without a gap";
        std::ifstream in(path, std::ios::binary);
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
            arrival.add(buffer.data(), static_cast<std::size_t>(in.gcount()));
        }
    }
    EXPECT_EQ(arrival.bytes, streamBytes());
    expectSimulatorAgrees(arrival);
}

// The period analysis on the quiet instrument's clock; the run ends by
// itself after its duration.
constexpr double kPeriodPs = veltest::kQuietClockPeriodPs;
constexpr int kRunSeconds = 3;
constexpr int kSamplingIntervalMs = 50;

// Each cycle once: they start at cycle 0 and each point advances the cycle
// index by the whole periods it spans (more than one where ticks were lost),
// so a missing batch shows as a jump and a repeated one as a step back.
void expectEveryCycleOnce(const Points& cycles, double histogramCounts) {
    ASSERT_FALSE(cycles.empty());
    EXPECT_EQ(cycles.front().first, 0);
    for (std::size_t i = 0; i + 1 < cycles.size(); ++i) {
        const double spanned = std::max(1.0, std::round(cycles[i].second / kPeriodPs));
        ASSERT_EQ(cycles[i + 1].first, cycles[i].first + spanned) << "point " << i;
    }
    EXPECT_EQ(static_cast<double>(cycles.size()), histogramCounts)
        << "the run's histogram counts one per cycle handed out";
    // A run of kRunSeconds at 10 kHz.
    EXPECT_GT(cycles.size(), static_cast<std::size_t>(kRunSeconds * 9000));
}

class AnalysisRawPoints : public veltest::SimSessionTest {
protected:
    AnalysisRawPoints() : SimSessionTest(veltest::kQuietClockConfig) {}

    int startRun(const char* folder, const char* file) {
        return ci_period_analysis(handle, kRunSeconds, 2, 5, 0, 0, 1e12 / kPeriodPs, kSamplingIntervalMs, 0, folder,
                                  file);
    }
};

TEST_F(AnalysisRawPoints, MemoryModeHandsOutEveryCycleOfARunOnce) {
    ASSERT_EQ(startRun(nullptr, nullptr), 0);
    // Null with a long time-out: the raw cache thread has ended (its time
    // limit, or the stop timer after the run) and nothing is left.
    Points cycles;
    int count = 0;
    while (int64_t* batch = ci_fetch_period_rawdata(handle, &count, 60000)) {
        const Points points = veltest::takePoints(batch, count);
        cycles.insert(cycles.end(), points.begin(), points.end());
    }
    const Points histogram = veltest::takePoints(ci_fetch_period_processdata(handle, &count), count);
    expectEveryCycleOnce(cycles, veltest::sumOfY(histogram));
}

TEST_F(AnalysisRawPoints, FileModeWritesEveryCycleOfARunOnce) {
    const fs::path folder = dir() / "period";
    ASSERT_EQ(startRun(folder.string().c_str(), "clock.csv"), 0);
    // The stop timer joins the raw threads before it saves the curves, so
    // once the last curve is in its file, the raw file is complete.
    ASSERT_TRUE(veltest::waitForRows(folder / "clock_hdev.csv", 1, 120s));
    const veltest::CsvFile raw = veltest::readCsv(folder / "clock_period.csv");
    const veltest::CsvFile counts = veltest::readCsv(folder / "clock_counts.csv");
    expectEveryCycleOnce(raw.rows, veltest::sumOfY(counts.rows));
}

}  // namespace
