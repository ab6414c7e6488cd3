// Parallel sessions against the benchmark server (bench_server.h: a fixed
// reply, so the service takes as little of the machine as possible): 1, 2, 4
// and 8 sessions, each driven by its own thread calling ci_get_dac in a loop
// for a fixed time, and the same number of minimal clients (own socket, same
// JSON line) as the baseline. Prints the total calls per second of each.
// Target: at every count the library's total is at least 0.9x the plain
// clients' (what one call costs does not grow with the number of sessions:
// no lock shared by sessions on the call path but a shared registry lookup).
// Run: build with -DVELTRANO_BUILD_BENCH=ON, then ./bench/parallel_sessions_bench

#include "bench_server.h"
#include "bench_support.h"
#include "minimal_client.h"
#include "support/sim_process.h"

#include <veltranoapi/veltranoapi.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <thread>

using namespace velbench;

namespace {

constexpr double kSecondsPerCount = 0.75;  // per turn; two turns each
const int kSessionCounts[] = {1, 2, 4, 8};

// Starts one thread per worker, lets them loop until the time is up and
// returns the total calls per second. callOnce(worker) makes one call.
template <class Call>
double callsPerSecond(int workers, Call&& callOnce) {
    std::atomic<bool> go{false};
    std::atomic<bool> stop{false};
    std::vector<uint64_t> calls(static_cast<size_t>(workers), 0);
    std::vector<std::thread> threads;
    for (int worker = 0; worker < workers; ++worker) {
        // Each thread counts into its own slot; the slots are read after join.
        threads.emplace_back([&, worker] {
            while (!go) {
                std::this_thread::yield();
            }
            uint64_t done = 0;
            while (!stop.load(std::memory_order_relaxed)) {
                callOnce(worker);
                ++done;
            }
            calls[static_cast<size_t>(worker)] = done;
        });
    }
    const auto start = std::chrono::steady_clock::now();
    go = true;
    std::this_thread::sleep_for(std::chrono::duration<double>(kSecondsPerCount));
    stop = true;
    for (auto& thread : threads) {
        thread.join();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    uint64_t total = 0;
    for (const uint64_t done : calls) {
        total += done;
    }
    return static_cast<double>(total) / seconds;
}

}  // namespace

int main() {
    ScratchDir scratch("veltrano_parallel_sessions_bench");
    BenchServer server(BenchServer::Options{});
    const std::string libraryConfig = veltest::writeLibraryConfig(scratch.path().string(), server.port());
    const std::string getLine = "{\"channel\":1,\"cmd\":\"get_dac\"}\n";
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::atomic<bool> failed{false};

    std::map<int, double> library;
    std::map<int, double> baseline;
    for (const int count : kSessionCounts) {
        std::vector<uint64_t> handles;
        for (int i = 0; i < count; ++i) {
            handles.push_back(ci_create(libraryConfig.c_str(), scratch.path().c_str()));
            if (handles.back() == 0) {
                std::printf("ci_create failed\n");
                return 1;
            }
        }
        std::vector<std::unique_ptr<MinimalLineClient>> clients;
        for (int i = 0; i < count; ++i) {
            clients.push_back(std::make_unique<MinimalLineClient>(server.port()));
        }
        // Library and plain clients take turns, twice each and each going
        // first once, so that both see the same bursts of load from the rest
        // of the machine.
        const auto libraryTurn = [&] {
            library[count] += callsPerSecond(count, [&](int worker) {
                double threshold = 0;
                if (ci_get_dac(handles[static_cast<size_t>(worker)], 1, &threshold) != 0) {
                    failed = true;
                }
            }) / 2;
        };
        const auto baselineTurn = [&] {
            baseline[count] += callsPerSecond(count, [&](int worker) {
                auto& client = *clients[static_cast<size_t>(worker)];
                client.send(getLine);
                client.readLine();
            }) / 2;
        };
        libraryTurn();
        baselineTurn();
        baselineTurn();
        libraryTurn();
        for (const uint64_t handle : handles) {
            ci_destroy(handle);
        }
    }

    std::printf("Parallel sessions, ci_get_dac in a loop, 2 turns of %.2f s per count, %d cores:\n", kSecondsPerCount, cores);
    for (const int count : kSessionCounts) {
        const double ours = library[count];
        const double base = baseline[count];
        std::printf("  %d session(s): library %9.0f calls/s  minimal clients %9.0f calls/s  (%.2fx)\n", count, ours,
                    base, ours / base);
        printTableRow(cell("parallel sessions: %d", count), cell("%.0f calls/s", ours), cell("%.0f calls/s", base),
                      cell("%d plain clients", count), "bench server", cell("%.3fx", ours / base), ">= 0.90x");
    }
    if (failed) {
        std::printf("  a library call failed\n");
    }
    return failed ? 1 : 0;
}
