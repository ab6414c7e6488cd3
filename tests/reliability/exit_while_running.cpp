// A measurement program that ends while the library's worker threads still
// run: a raw acquisition fetching into memory, a local acquisition writing
// volume files, a period analysis with its raw cache thread and stop timer, and
// a count-rate recording with its timer. How it ends is the variant named by
// the first argument:
//   destroy-and-cleanup       ci_destroy on one session, ci_cleanup for the
//                             rest, then return from main
//   destroy-each              ci_destroy on every session, then return
//   return-with-sessions-open return from main without closing anything
//   service-gone              the service ends first, then return with the
//                             sessions open
// The program must exit with 0: no crash, no std::terminate, and, in the
// sanitizer builds, no leak or race report (CTest runs it with options that
// turn a report into a non-zero exit).

#include "reliability/reliability_support.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// Lives until static destruction, so sessions still registered when main
// returns are released while the service still answers (the library's own
// process-exit release comes first, being created later).
veltest::SimService& simulator() {
    static veltest::SimService sim(veltest::kQuietClockConfig);
    return sim;
}

bool expectZero(const char* call, int result) {
    if (result != 0) {
        std::fprintf(stderr, "%s returned %d\n", call, result);
    }
    return result == 0;
}

// Four sessions, each with work running on library threads; empty when a
// start failed.
std::vector<uint64_t> startEverything() {
    veltest::SimService& sim = simulator();
    std::vector<uint64_t> handles;
    for (int i = 0; i < 4; ++i) {
        const uint64_t handle = sim.open();
        if (handle == 0) {
            std::fprintf(stderr, "ci_create failed\n");
            return {};
        }
        handles.push_back(handle);
    }
    const std::string folder = (sim.dir() / "output").string();
    bool started = expectZero("ci_acq_rawdata", ci_acq_rawdata(handles[0], 0, 30, "", "", 0, 0));
    started &= expectZero("ci_acq_rawdata_local",
                          ci_acq_rawdata_local(handles[1], 0, 30, folder.c_str(), "exit.bin", 1, 0));
    started &= expectZero("ci_period_analysis",
                          ci_period_analysis(handles[2], 30, 2, 5, 0, 0, 10000.0, 50, 0, nullptr, nullptr));
    started &= expectZero("ci_output_single_cps", ci_output_single_cps(handles[3], 30, folder.c_str(), "exit_cps"));
    if (!started) {
        return {};
    }
    // Past the acquisition thread's first poll, so every thread is busy.
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    int size = 0;
    ci_free_char_data(ci_fetch_rawdata(handles[0], &size, 5000));
    int count = 0;
    ci_free_int64_data(ci_fetch_period_rawdata(handles[2], &count, 5000));
    return handles;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string variant = argc > 1 ? argv[1] : "";
    if (variant != "destroy-and-cleanup" && variant != "destroy-each" && variant != "return-with-sessions-open" &&
        variant != "service-gone") {
        std::fprintf(stderr,
                     "usage: %s destroy-and-cleanup | destroy-each | return-with-sessions-open | service-gone\n",
                     argv[0]);
        return 2;
    }
    const std::vector<uint64_t> handles = startEverything();
    if (handles.empty()) {
        return 1;
    }
    if (variant == "destroy-and-cleanup") {
        ci_destroy(handles[0]);
        ci_cleanup();
    } else if (variant == "destroy-each") {
        for (uint64_t handle : handles) {
            ci_destroy(handle);
        }
    } else if (variant == "service-gone") {
        simulator().stop();
        // Let the worker threads meet the closed connection before the exit.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 0;
}
