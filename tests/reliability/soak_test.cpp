// A long run of what a measurement program does over and over: raw
// acquisitions into memory and into volume files, period analyses with their
// raw points, time-of-flight analyses saved to CSV files, count-rate
// recordings, and sessions opened and closed. The process's memory must stay
// flat: after a warm-up, memory is sampled after every round (all work of the
// round ended, so nothing of it should remain). A leak shows in what the
// allocations hold (mallinfo2, every arena and mapped block) and in the
// number of threads: the median of each over the last quarter of the samples
// may exceed that of the second quarter by at most kAllowedHeapGrowthMiB and
// kAllowedThreadGrowth; a leak of a buffer or a thread per round grows them
// by as many as there are rounds between the quarters. Resident anonymous
// memory (RssAnon) is not compared: it moves from round to round between a
// floor and tens of MiB above it, with the allocations flat, as the allocator
// and the thread library keep freed stream buffers and thread stacks for
// reuse or give them back; it must only stay under kRssAnonLimitMiB. The
// samples are printed.
// VELTRANO_SOAK_SECONDS sets the length (default 60 s); registered only in
// optimised 64-bit builds without sanitizers, whose memory is not meaningful.

#include "e2e/analysis_csv.h"
#include "reliability/reliability_support.h"
#include "support/sim_session.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr uint64_t kMiB = 1048576;
constexpr uint64_t kStreamBytes = 32 * kMiB;
constexpr double kAllowedHeapGrowthMiB = 2;
constexpr double kRssAnonLimitMiB = 256;
// Threads that end on their own may still be finishing at a sample.
constexpr double kAllowedThreadGrowth = 2;
constexpr int kWarmUpRounds = 3;

// A stream-mode acquisition hands out 32 MiB and ends; the 10 kHz clock
// feeds the period analysis; one pair source feeds the time of flight.
const std::string kSimConfig = "[stream]\nchunk_bytes = 1048576\ntotal_bytes = " + std::to_string(kStreamBytes) +
                               "\n[clock]\nfrequency_hz = 10000\n"
                               "[background]\nrate_hz = 500\n";

struct MemorySample {
    double seconds = 0;
    double rssMiB = 0;
    double rssAnonMiB = 0;
    double heapInUseMiB = 0;
    double threads = 0;
};

// Bytes the process's allocations hold, over every arena and in mapped
// blocks, whatever the allocator keeps for reuse besides.
double heapInUseMiB() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd) / static_cast<double>(kMiB);
}

// The number a field of /proc/self/status starts with, 0 when it is missing.
double statusField(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stod(line.substr(field.size() + 1));
        }
    }
    return 0;
}

// A memory field of /proc/self/status, which gives them in kB.
double statusFieldMiB(const std::string& field) {
    return statusField(field) / 1024.0;
}

using Samples = std::vector<MemorySample>;

double median(Samples::const_iterator begin, Samples::const_iterator end, double MemorySample::*field) {
    std::vector<double> values;
    for (auto it = begin; it != end; ++it) {
        values.push_back((*it).*field);
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

class Soak : public veltest::SimSessionTest {
protected:
    Soak() : SimSessionTest(kSimConfig) {}

    void acquireIntoMemory() {
        ASSERT_EQ(ci_acq_rawdata(handle, 1, 3600, nullptr, nullptr, 0, 0), 0);
        uint64_t received = 0;
        int size = 0;
        while (char* block = ci_fetch_rawdata(handle, &size, 60000)) {
            received += static_cast<uint64_t>(size);
            ci_free_char_data(block);
        }
        EXPECT_EQ(received, kStreamBytes);
        EXPECT_EQ(ci_stop_acq(handle), 0);
    }

    void acquireIntoFiles() {
        const fs::path folder = dir() / "volumes";
        ASSERT_EQ(ci_acq_rawdata_local(handle, 1, 3600, folder.string().c_str(), "soak.bin", 8, 0), 0);
        bool processing = true;
        while (processing) {
            ASSERT_EQ(ci_is_rawdata_processing(handle, &processing), 0);
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(ci_stop_acq(handle), 0);
        uint64_t stored = 0;
        for (const auto& entry : fs::directory_iterator(folder)) {
            stored += entry.file_size();
        }
        EXPECT_EQ(stored, kStreamBytes);
        fs::remove_all(folder);
    }

    void analysePeriods() {
        ASSERT_EQ(ci_period_analysis(handle, 10, 2, 5, 0, 0, 10000.0, 20, 0, nullptr, nullptr), 0);
        std::size_t cycles = 0;
        int count = 0;
        while (cycles < 2000) {
            int64_t* batch = ci_fetch_period_rawdata(handle, &count, 30000);
            ASSERT_NE(batch, nullptr);
            cycles += static_cast<std::size_t>(count);
            ci_free_int64_data(batch);
        }
        EXPECT_EQ(ci_stop_period_analysis(handle), 0);
    }

    void analyseTimeOfFlight() {
        const fs::path folder = dir() / "tof";
        ASSERT_EQ(ci_tof_analysis(handle, 10, 1, 2, 5000, 0, 1, folder.string().c_str(), "tof.csv"), 0);
        std::this_thread::sleep_for(200ms);
        int count = 0;
        ci_free_int64_data(ci_fetch_tof_processdata(handle, &count));
        EXPECT_EQ(ci_stop_tof_analysis(handle), 0);
        EXPECT_GT(veltest::countRows(folder / "tof_counts.csv"), 0u);
        fs::remove_all(folder);
    }

    void recordRatesInASecondSession() {
        const uint64_t other = openSession();
        ASSERT_NE(other, 0u);
        const fs::path folder = dir() / "rates";
        EXPECT_EQ(ci_output_single_cps(other, 10, folder.string().c_str(), "cps.csv"), 0);
        std::this_thread::sleep_for(250ms);
        EXPECT_EQ(ci_stop_singlecps_recording(other), 0);
        EXPECT_GT(veltest::countRows(folder / "cps.csv"), 0u);
        ci_destroy(other);
        fs::remove_all(folder);
    }
};

TEST_F(Soak, MemoryStaysFlatOverRepeatedAcquisitionsAndAnalyses) {
    const auto length = std::chrono::seconds(veltest::envCount("VELTRANO_SOAK_SECONDS", 60));
    const Clock::time_point started = Clock::now();
    std::vector<MemorySample> samples;
    for (int round = 0; Clock::now() - started < length; ++round) {
        acquireIntoMemory();
        acquireIntoFiles();
        analysePeriods();
        analyseTimeOfFlight();
        recordRatesInASecondSession();
        if (HasFatalFailure()) {
            return;
        }
        if (round >= kWarmUpRounds) {
            samples.push_back({std::chrono::duration<double>(Clock::now() - started).count(), statusFieldMiB("VmRSS"),
                               statusFieldMiB("RssAnon"), heapInUseMiB(), statusField("Threads")});
        }
    }

    std::printf("soak: %zu samples after %d warm-up rounds (s, VmRSS MiB, RssAnon MiB, allocations MiB, threads)\n",
                samples.size(), kWarmUpRounds);
    for (const auto& sample : samples) {
        std::printf("  %7.1f %8.1f %8.1f %8.2f %4.0f\n", sample.seconds, sample.rssMiB, sample.rssAnonMiB,
                    sample.heapInUseMiB, sample.threads);
    }
    ASSERT_GE(samples.size(), 4u) << "too short a run to judge; raise VELTRANO_SOAK_SECONDS";
    const auto quarter = static_cast<std::ptrdiff_t>(samples.size() / 4);
    const auto secondBegin = samples.cbegin() + quarter;
    const auto secondEnd = samples.cbegin() + 2 * quarter;
    const auto lastBegin = samples.cend() - quarter;
    const double heapSecond = median(secondBegin, secondEnd, &MemorySample::heapInUseMiB);
    const double heapLast = median(lastBegin, samples.cend(), &MemorySample::heapInUseMiB);
    const double threadsSecond = median(secondBegin, secondEnd, &MemorySample::threads);
    const double threadsLast = median(lastBegin, samples.cend(), &MemorySample::threads);
    const double highestAnon =
        std::max_element(samples.cbegin(), samples.cend(), [](const MemorySample& a, const MemorySample& b) {
            return a.rssAnonMiB < b.rssAnonMiB;
        })->rssAnonMiB;
    std::printf(
        "soak: allocations %.2f MiB in the second quarter, %.2f MiB in the last; threads %.0f, %.0f; "
        "highest RssAnon %.1f MiB\n",
        heapSecond, heapLast, threadsSecond, threadsLast, highestAnon);
    EXPECT_LE(heapLast, heapSecond + kAllowedHeapGrowthMiB) << "allocations grow over repeated work";
    EXPECT_LE(threadsLast, threadsSecond + kAllowedThreadGrowth) << "threads are left behind by repeated work";
    EXPECT_LT(highestAnon, kRssAnonLimitMiB) << "freed memory kept beyond any need";
}

}  // namespace
