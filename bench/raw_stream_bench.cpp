// Raw stream throughput from the benchmark server (bench_server.h: 2 GiB in
// 4 MiB frames, prepared before the clock starts and sent as fast as the
// socket takes them, so the source is never the bottleneck):
// - the loopback limit: a plain socket reader taking the whole stream pushed
//   without requests;
// - the minimal client of minimal_client.h: "fetch_rawdata" after
//   "fetch_rawdata", frames read into one reused buffer, no library;
// - the same client writing every frame with write(2) into 1 GiB files (the
//   volumes a local acquisition writes);
// - the library in memory mode (ci_acq_rawdata + ci_fetch_rawdata), target at
//   least 0.85x the minimal client;
// - the library writing local volume files (ci_acq_rawdata_local, 1 GiB
//   volumes), target at least 0.85x the memory mode and the write(2) client.
// 2 GiB stay below the level of dirty file pages at which the system starts
// holding writers back on this machine (10 % of memory), so the file figures
// are the writers' own cost rather than the disk's speed. A second local
// acquisition of 4 GiB, with the process's anonymous resident memory
// (RssAnon) sampled, shows that memory stays under 256 MiB.
//
// The library's first poll comes 500 ms after the start (the acquisition
// thread's fixed pause); that pause is not transfer time and is taken out of
// the library's figures. Everything else, from the start call to the last byte
// in the caller's hands (or in a closed volume file), is counted.
// Run: build with -DVELTRANO_BUILD_BENCH=ON, then ./bench/raw_stream_bench

#include "api/inst_instance.h"
#include "api/session_registry.h"
#include "bench_server.h"
#include "bench_support.h"
#include "minimal_client.h"
#include "support/sim_process.h"

#include <veltranoapi/veltranoapi.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

using namespace velbench;
namespace fs = std::filesystem;

namespace {

constexpr uint64_t kTotal = 2048 * kMiB;
constexpr uint64_t kRssTotal = 4096 * kMiB;
constexpr uint64_t kChunk = 4 * kMiB;
constexpr uint64_t kVolume = 1024 * kMiB;
constexpr double kFirstPollPause = 0.5;
constexpr uint64_t kRssLimit = 256 * kMiB;

void writeAll(int fd, const unsigned char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n <= 0) {
            throw std::runtime_error("write failed");
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
}

// The plain socket reader: the whole stream pushed by the server, received
// into one 4 MiB buffer.
double loopbackSeconds(int port) {
    MinimalLineClient client(port);
    std::vector<unsigned char> buffer(kChunk);
    return timeSeconds([&] {
        client.send("push_stream\n");
        for (uint64_t received = 0; received < kTotal; received += kChunk) {
            client.readExactly(buffer.data(), kChunk);
        }
    });
}

// The minimal client's whole stream; with a folder, every frame is also
// written with write(2) into files of 1 GiB each.
double baselineSeconds(int port, const fs::path& folder = {}) {
    MinimalLineClient client(port);
    std::vector<unsigned char> buffer;
    const double seconds = timeSeconds([&] {
        client.send("{\"cmd\":\"acq_rawdata\",\"data_mode\":1,\"duration\":600}\n");
        client.readLine();
        uint64_t received = 0;
        int fd = -1;
        while (received < kTotal) {
            client.send("{\"cmd\":\"fetch_rawdata\"}\n");
            client.readFrame(buffer);
            if (!folder.empty()) {
                if (received % kVolume == 0) {
                    if (fd >= 0) {
                        ::close(fd);
                    }
                    const fs::path file = folder / ("client_" + std::to_string(received / kVolume) + ".bin");
                    fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
                }
                writeAll(fd, buffer.data(), buffer.size());
            }
            received += buffer.size();
        }
        client.send("{\"cmd\":\"stop_acq\"}\n");
        client.readLine();
        if (fd >= 0) {
            ::close(fd);
        }
    });
    if (!folder.empty()) {
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    return seconds;
}

double memorySeconds(uint64_t handle, uint64_t& faults) {
    uint64_t received = 0;
    const uint64_t faultsBefore = minorFaults();
    const double seconds = timeSeconds([&] {
        if (ci_acq_rawdata(handle, 1, 600, nullptr, nullptr, 0, 0) != 0) {
            throw std::runtime_error("ci_acq_rawdata failed");
        }
        while (received < kTotal) {
            int size = 0;
            char* bytes = ci_fetch_rawdata(handle, &size, 5000);
            if (bytes == nullptr) {
                break;
            }
            received += static_cast<uint64_t>(size);
            ci_free_char_data(bytes);
        }
        ci_stop_acq(handle);
    });
    faults = minorFaults() - faultsBefore;
    if (received != kTotal) {
        std::printf("  memory mode received %llu of %llu bytes\n", static_cast<unsigned long long>(received),
                    static_cast<unsigned long long>(kTotal));
    }
    return seconds - kFirstPollPause;
}

uint64_t rssAnonBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("RssAnon:", 0) == 0) {
            return std::stoull(line.substr(8)) * 1024;
        }
    }
    return 0;
}

// True once the acquisition thread has ended and the local writer has closed
// the last volume, i.e. every byte is in a file.
bool localAcquisitionDone(uint64_t handle) {
    const auto session = vel::SessionRegistry::lookup(handle);
    auto& acquisition = session->acquisition;
    {
        std::lock_guard<std::mutex> lock(acquisition.rawBufferMutex);
        if (acquisition.acquisitionThreadRunning) {
            return false;
        }
    }
    std::lock_guard<std::mutex> lock(acquisition.writerMutex);
    return acquisition.localWriter == nullptr;
}

uint64_t filesBytes(const fs::path& folder) {
    uint64_t total = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        total += entry.file_size();
    }
    return total;
}

double localSeconds(uint64_t handle, const fs::path& folder, uint64_t total, uint64_t& peakRss, uint64_t& faults) {
    fs::remove_all(folder);
    const uint64_t faultsBefore = minorFaults();
    std::atomic<bool> sampling{true};
    std::thread sampler([&] {
        while (sampling) {
            peakRss = std::max(peakRss, rssAnonBytes());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const double seconds = timeSeconds([&] {
        if (ci_acq_rawdata_local(handle, 1, 600, folder.c_str(), "stream.bin", 1024, 0) != 0) {
            throw std::runtime_error("ci_acq_rawdata_local failed");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        while (!localAcquisitionDone(handle)) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    faults = minorFaults() - faultsBefore;
    sampling = false;
    sampler.join();
    const uint64_t written = filesBytes(folder);
    if (written != total) {
        std::printf("  local mode wrote %llu of %llu bytes\n", static_cast<unsigned long long>(written),
                    static_cast<unsigned long long>(total));
    }
    ci_stop_acq(handle);
    fs::remove_all(folder);
    return seconds - kFirstPollPause;
}

}  // namespace

int main() {
    ScratchDir scratch("veltrano_raw_stream_bench");
    BenchServer server(BenchServer::Options{.chunkBytes = kChunk, .streamBytes = kTotal, .pointList = {}});
    const std::string libraryConfig = veltest::writeLibraryConfig(scratch.path().string(), server.port());
    const uint64_t handle = ci_create(libraryConfig.c_str(), scratch.path().c_str());
    if (handle == 0) {
        std::printf("ci_create failed\n");
        return 1;
    }
    const fs::path volumes = scratch.path() / "volumes";
    const fs::path clientFiles = scratch.path() / "client";
    fs::create_directories(clientFiles);

    uint64_t peakRss = 0;
    uint64_t rssFaults = 0;
    uint64_t memoryFaults = 0;
    uint64_t localFaults = 0;
    const double loopback = loopbackSeconds(server.port());
    const double baseline = baselineSeconds(server.port());
    const double memory = memorySeconds(handle, memoryFaults);
    const double baselineToFiles = baselineSeconds(server.port(), clientFiles);
    const double local = localSeconds(handle, volumes, kTotal, peakRss, localFaults);
    ci_destroy(handle);
    peakRss = 0;
    {
        BenchServer longServer(BenchServer::Options{.chunkBytes = kChunk, .streamBytes = kRssTotal, .pointList = {}});
        const std::string longConfig = veltest::writeLibraryConfig((scratch.path() / "long").string(), longServer.port());
        const uint64_t longHandle = ci_create(longConfig.c_str(), scratch.path().c_str());
        const double seconds = localSeconds(longHandle, volumes, kRssTotal, peakRss, rssFaults);
        std::printf("  4 GiB local acquisition: %.1f MiB/s\n", static_cast<double>(kRssTotal / kMiB) / seconds);
        ci_destroy(longHandle);
    }

    std::printf("Raw stream, 2 GiB in 4 MiB frames from the benchmark server:\n");
    printRate("plain socket reader (loopback limit)", kTotal, loopback);
    printRate("minimal client", kTotal, baseline);
    printRate("minimal client + write(2) to 1 GiB files", kTotal, baselineToFiles);
    printRate("ci_acq_rawdata + ci_fetch_rawdata", kTotal, memory);
    printRate("ci_acq_rawdata_local, 1 GiB volumes", kTotal, local);
    std::printf("  %-44s %8.1f / %.1f\n", "minor page faults per MiB: memory / local",
                static_cast<double>(memoryFaults) / static_cast<double>(kTotal / kMiB),
                static_cast<double>(localFaults) / static_cast<double>(kTotal / kMiB));
    std::printf("  %-44s %8.1f MiB\n", "peak RssAnon during local acquisition",
                static_cast<double>(peakRss) / static_cast<double>(kMiB));
    printRateRow("raw stream: minimal client", kTotal, baseline, loopback, "plain reader, pushed stream",
                 "bench server", "-");
    printRateRow("raw stream: memory mode", kTotal, memory, baseline, "minimal client", "bench server", ">= 0.85x");
    printRateRow("raw stream: local files", kTotal, local, memory, "library, memory mode", "bench server",
                 ">= 0.85x");
    printRateRow("raw stream: local files vs write(2)", kTotal, local, baselineToFiles,
                 "minimal client + write(2)", "bench server", ">= 0.85x");
    printTableRow("local acquisition: peak RssAnon writing 4 GiB", cell("%.1f MiB", static_cast<double>(peakRss) / static_cast<double>(kMiB)),
                  "-", "-", "bench server", "-", cell("< %llu MiB", static_cast<unsigned long long>(kRssLimit / kMiB)));
    return 0;
}
