// Command latency against the benchmark server (bench_server.h: a fixed reply
// sent at once, so the service adds as little as possible): the round trip of a plain setting
// call (ci_set_dac) and of a value query (ci_get_dac) through the library,
// against a minimal client that writes the same JSON line on its own socket
// and reads the reply line. Median and 99th percentile of 5000 calls each,
// library and baseline calls alternating one by one so that both sides see
// the same machine load (the machine is shared: load comes in bursts). Target:
// the library's median at most 1.25x the baseline's. Also counts the heap
// allocations per call of both sides (allocation_counter.h).
// Run: build with -DVELTRANO_BUILD_BENCH=ON, then ./bench/latency_bench

#include "allocation_counter.h"
#include "bench_server.h"
#include "bench_support.h"
#include "minimal_client.h"
#include "support/sim_process.h"

#include <veltranoapi/veltranoapi.h>

#include <algorithm>
#include <chrono>
#include <functional>

using namespace velbench;

namespace {

constexpr int kCalls = 5000;
constexpr int kWarmUp = 200;
constexpr double kTargetMedianRatio = 1.25;

struct Percentiles {
    double median = 0;
    double p99 = 0;
};

// Microseconds at the median and the 99th percentile.
Percentiles percentiles(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double fraction) {
        return samples[std::min(samples.size() - 1, static_cast<size_t>(fraction * static_cast<double>(samples.size())))];
    };
    return {at(0.5), at(0.99)};
}

double microsecondsOf(const std::function<void()>& call) {
    const auto start = std::chrono::steady_clock::now();
    call();
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

// Times library and baseline calls alternately; both vectors end with kCalls
// samples.
void measure(const std::function<void()>& libraryCall, const std::function<void()>& baselineCall,
             std::vector<double>& library, std::vector<double>& baseline) {
    for (int i = 0; i < kWarmUp; ++i) {
        libraryCall();
        baselineCall();
    }
    for (int i = 0; i < kCalls; ++i) {
        library.push_back(microsecondsOf(libraryCall));
        baseline.push_back(microsecondsOf(baselineCall));
    }
}

void report(const char* name, const std::vector<double>& librarySamples, const std::vector<double>& baselineSamples) {
    const Percentiles library = percentiles(librarySamples);
    const Percentiles baseline = percentiles(baselineSamples);
    const double ratio = library.median / baseline.median;
    std::printf("%s, %d calls each:\n", name, kCalls);
    std::printf("  %-44s median %7.1f us  p99 %7.1f us\n", "minimal client (baseline)", baseline.median, baseline.p99);
    std::printf("  %-44s median %7.1f us  p99 %7.1f us\n", "library", library.median, library.p99);
    std::printf("  %-44s %8.2fx  (target <= %.2fx: %s)\n", "library median / baseline median", ratio,
                kTargetMedianRatio, ratio <= kTargetMedianRatio ? "met" : "NOT met");
    printTableRow(std::string(name) + " median", cell("%.1f us", library.median), cell("%.1f us", baseline.median),
                  "plain socket client", "bench server", cell("%.3fx", ratio), cell("<= %.2fx", kTargetMedianRatio));
    printTableRow(std::string(name) + " p99", cell("%.1f us", library.p99), cell("%.1f us", baseline.p99),
                  "plain socket client", "bench server", cell("%.3fx", library.p99 / baseline.p99), "-");
}

}  // namespace

int main() {
    ScratchDir scratch("veltrano_latency_bench");
    BenchServer server(BenchServer::Options{});
    const std::string libraryConfig = veltest::writeLibraryConfig(scratch.path().string(), server.port());
    const uint64_t handle = ci_create(libraryConfig.c_str(), scratch.path().c_str());
    if (handle == 0) {
        std::printf("ci_create failed\n");
        return 1;
    }
    MinimalLineClient client(server.port());
    bool failed = false;

    // The library's request lines, byte for byte (members in name order).
    const std::string setLine = "{\"channel\":1,\"cmd\":\"set_dac\",\"value\":0.25}\n";
    const std::string getLine = "{\"channel\":1,\"cmd\":\"get_dac\"}\n";

    std::vector<double> librarySet, baselineSet, libraryGet, baselineGet;
    measure([&] { failed |= ci_set_dac(handle, 1, 0.25) != 0; },
            [&] {
                client.send(setLine);
                client.readLine();
            },
            librarySet, baselineSet);
    double threshold = 0;
    measure([&] { failed |= ci_get_dac(handle, 1, &threshold) != 0; },
            [&] {
                client.send(getLine);
                client.readLine();
            },
            libraryGet, baselineGet);

    // Heap allocations per call, counted over many calls.
    constexpr int kCounted = 1000;
    const auto perCall = [&](const std::function<void()>& call) {
        return static_cast<double>(allocationsOf([&] {
                   for (int i = 0; i < kCounted; ++i) {
                       call();
                   }
               })) /
               kCounted;
    };
    const double setAllocations = perCall([&] { failed |= ci_set_dac(handle, 1, 0.25) != 0; });
    const double getAllocations = perCall([&] { failed |= ci_get_dac(handle, 1, &threshold) != 0; });
    const double baselineSetAllocations = perCall([&] {
        client.send(setLine);
        client.readLine();
    });
    const double baselineGetAllocations = perCall([&] {
        client.send(getLine);
        client.readLine();
    });
    ci_destroy(handle);

    report("set_dac latency", librarySet, baselineSet);
    report("get_dac latency", libraryGet, baselineGet);
    std::printf("Heap allocations per call (library / minimal client): ci_set_dac %.1f / %.1f, ci_get_dac %.1f / %.1f\n",
                setAllocations, baselineSetAllocations, getAllocations, baselineGetAllocations);
    printTableRow("heap allocations per ci_set_dac call", cell("%.1f", setAllocations),
                  cell("%.1f", baselineSetAllocations), "plain socket client", "bench server", "-", "-");
    printTableRow("heap allocations per ci_get_dac call", cell("%.1f", getAllocations),
                  cell("%.1f", baselineGetAllocations), "plain socket client", "bench server", "-", "-");
    if (failed) {
        std::printf("  a library call failed\n");
    }
    return failed ? 1 : 0;
}
