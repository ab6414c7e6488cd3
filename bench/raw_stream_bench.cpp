// Raw stream throughput from the simulator in its stream mode (2 GiB in 4 MiB
// replies): the library's ci_acq_rawdata + ci_fetch_rawdata loop (target: at
// least 0.85x) and ci_acq_rawdata_local into 1 GiB volume files (target: at
// least 0.7x), each against the minimal client of minimal_client.h that sends
// "fetch_rawdata" and reads the frames into one reused buffer, without the
// library. Best of two
// alternating rounds. While the local acquisition runs, the process's
// anonymous resident memory (RssAnon) is sampled; it must stay under 256 MiB.
//
// The library's first poll comes 500 ms after the start (the acquisition
// thread's fixed pause); that pause is not transfer time and is taken out of
// the library's figures. Everything else, from the start call to the last byte
// in the caller's hands (or in a closed volume file), is counted.
// Run: build with -DVELTRANO_BUILD_BENCH=ON, then ./bench/raw_stream_bench

#include "api/inst_instance.h"
#include "api/session_registry.h"
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
constexpr uint64_t kChunk = 4 * kMiB;
constexpr double kFirstPollPause = 0.5;
constexpr uint64_t kRssLimit = 256 * kMiB;
constexpr double kMemoryTarget = 0.85;
constexpr double kLocalFilesTarget = 0.70;

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

// The minimal client's whole stream; with a file path, every frame is also
// written to that file with write(2).
double baselineSeconds(int port, const fs::path& file = {}) {
    MinimalLineClient client(port);
    std::vector<unsigned char> buffer;
    const double seconds = timeSeconds([&] {
        const int fd = file.empty() ? -1 : ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        client.send("{\"cmd\":\"acq_rawdata\",\"data_mode\":1,\"duration\":600}\n");
        client.readLine();
        uint64_t received = 0;
        while (received < kTotal) {
            client.send("{\"cmd\":\"fetch_rawdata\"}\n");
            client.readFrame(buffer);
            if (fd >= 0) {
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
    if (!file.empty()) {
        fs::remove(file);
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

double localSeconds(uint64_t handle, const fs::path& folder, uint64_t& peakRss, uint64_t& faults) {
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
    if (written != kTotal) {
        std::printf("  local mode wrote %llu of %llu bytes\n", static_cast<unsigned long long>(written),
                    static_cast<unsigned long long>(kTotal));
    }
    ci_stop_acq(handle);
    fs::remove_all(folder);
    return seconds - kFirstPollPause;
}

}  // namespace

int main() {
    ScratchDir scratch("veltrano_raw_stream_bench");
    const fs::path simConfig = scratch.path() / "sim.ini";
    std::ofstream(simConfig) << "[stream]\nchunk_bytes = " << kChunk << "\ntotal_bytes = " << kTotal << "\n";
    vtest::SimProcess sim(VELTRANO_SIM_EXECUTABLE, {"--config", simConfig.string()});
    const std::string libraryConfig = vtest::writeLibraryConfig(scratch.path().string(), sim.port());
    const uint64_t handle = ci_create(libraryConfig.c_str(), scratch.path().c_str());
    if (handle == 0) {
        std::printf("ci_create failed\n");
        return 1;
    }
    const fs::path volumes = scratch.path() / "volumes";

    double baseline = 1e300;
    double baselineToFile = 1e300;
    double memory = 1e300;
    double local = 1e300;
    uint64_t peakRss = 0;
    uint64_t memoryFaults = 0;
    uint64_t localFaults = 0;
    for (int round = 0; round < 2; ++round) {
        baseline = std::min(baseline, baselineSeconds(sim.port()));
        baselineToFile = std::min(baselineToFile, baselineSeconds(sim.port(), scratch.path() / "client.bin"));
        memory = std::min(memory, memorySeconds(handle, memoryFaults));
        local = std::min(local, localSeconds(handle, volumes, peakRss, localFaults));
    }
    ci_destroy(handle);

    std::printf("Raw stream, 2 GiB in 4 MiB replies from the simulator, best of 2:\n");
    printRate("minimal client (baseline)", kTotal, baseline);
    printRate("minimal client + write(2) to a file", kTotal, baselineToFile);
    printRate("ci_acq_rawdata + ci_fetch_rawdata", kTotal, memory);
    printRate("ci_acq_rawdata_local, 1 GiB volumes", kTotal, local);
    printRatio("memory mode / baseline", baseline / memory, kMemoryTarget);
    printRatio("local files / baseline", baseline / local, kLocalFilesTarget);
    std::printf("  %-44s %8.2fx\n", "local files / client + write(2)", baselineToFile / local);
    std::printf("  %-44s %8.1f / %.1f\n", "minor page faults per MiB: memory / local",
                static_cast<double>(memoryFaults) / static_cast<double>(kTotal / kMiB),
                static_cast<double>(localFaults) / static_cast<double>(kTotal / kMiB));
    std::printf("  %-44s %8.1f MiB  (limit < %llu MiB: %s)\n", "peak RssAnon during local acquisition",
                static_cast<double>(peakRss) / static_cast<double>(kMiB),
                static_cast<unsigned long long>(kRssLimit / kMiB), peakRss < kRssLimit ? "met" : "NOT met");
    return 0;
}
