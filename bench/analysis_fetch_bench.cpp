// Analysis data: a 1,000,000-point processed-data fetch converted to a caller
// array. The library's ci_fetch_tof_processdata (integer pairs) and
// ci_fetch_cross_correlation_data (double pairs) against a minimal client that
// sends the same line, reads the frame and only decodes it into a malloc'ed
// array of the same form. The point list (16 MB) comes from a small service
// inside this process that answers every request line with the same prepared
// frame (bench_server.h), since the simulator's histograms are far smaller.
// Also counts the heap allocations of one library fetch. Best of five,
// alternating; both arrays are compared. Target: at least 0.8x the
// baseline's speed.
// Run: build with -DVELTRANO_BUILD_BENCH=ON, then ./bench/analysis_fetch_bench

#include "allocation_counter.h"
#include "bench_server.h"
#include "bench_support.h"
#include "minimal_client.h"

#include <veltranoapi/veltranoapi.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>
#include <utility>

using namespace velbench;

namespace {

constexpr uint32_t kPoints = 1000000;
constexpr double kTargetSpeedRatio = 0.8;

// The point-list payload: count, then (x, y) doubles, little-endian.
std::vector<unsigned char> pointListPayload() {
    std::vector<unsigned char> payload(4 + size_t{kPoints} * 16);
    const uint32_t count = kPoints;
    std::memcpy(payload.data(), &count, 4);  // the build machine is little-endian
    uint64_t state = 12345;
    unsigned char* cursor = payload.data() + 4;
    for (uint32_t i = 0; i < kPoints; ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const double x = -500000.0 + static_cast<double>(i) * 1.5;
        const double y = static_cast<double>(state >> 44) / (i % 7 == 0 ? 3.0 : 1.0);
        std::memcpy(cursor, &x, 8);
        std::memcpy(cursor + 8, &y, 8);
        cursor += 16;
    }
    return payload;
}

// The decode-only baseline for one point: the point at bytes, or 0, 0 when a
// coordinate is not finite; integer pairs round halves away from zero.
std::pair<double, double> finitePoint(const unsigned char* bytes) {
    double x = 0;
    double y = 0;
    std::memcpy(&x, bytes, 8);
    std::memcpy(&y, bytes + 8, 8);
    return std::isfinite(x) && std::isfinite(y) ? std::pair{x, y} : std::pair{0.0, 0.0};
}

void decodeIntegerPoint(const unsigned char* bytes, int64_t* out) {
    const auto [x, y] = finitePoint(bytes);
    out[0] = std::llround(x);
    out[1] = std::llround(y);
}

void decodeDoublePoint(const unsigned char* bytes, double* out) {
    const auto [x, y] = finitePoint(bytes);
    out[0] = x;
    out[1] = y;
}

// One minimal fetch: send, read the frame, decode into a malloc'ed array.
template <class Element, class Decode>
Element* baselineFetch(MinimalLineClient& client, const std::string& line, std::vector<unsigned char>& frame,
                       Decode decode, int* count) {
    client.send(line);
    client.readFrame(frame);
    uint32_t points = 0;
    std::memcpy(&points, frame.data(), 4);
    auto* array = static_cast<Element*>(std::malloc(size_t{points} * 2 * sizeof(Element)));
    for (uint32_t i = 0; i < points; ++i) {
        decode(frame.data() + 4 + size_t{i} * 16, array + size_t{i} * 2);
    }
    *count = static_cast<int>(points);
    return array;
}

// Best of five for the library fetch and the baseline, alternating; false
// when the two arrays differ.
template <class Element, class LibraryFetch, class Decode>
bool compare(const char* name, const std::string& line, LibraryFetch libraryFetch, Decode decode,
             MinimalLineClient& client, uint64_t bytes) {
    std::vector<unsigned char> frame;
    double library = 1e300;
    double baseline = 1e300;
    uint64_t libraryFaults = 0;
    uint64_t baselineFaults = 0;
    bool same = true;
    for (int round = 0; round < 5; ++round) {
        int baselineCount = 0;
        int libraryCount = 0;
        Element* expected = nullptr;
        Element* actual = nullptr;
        const uint64_t beforeBaseline = minorFaults();
        baseline = std::min(baseline, timeSeconds([&] {
            expected = baselineFetch<Element>(client, line, frame, decode, &baselineCount);
        }));
        const uint64_t beforeLibrary = minorFaults();
        library = std::min(library, timeSeconds([&] { actual = libraryFetch(&libraryCount); }));
        baselineFaults += beforeLibrary - beforeBaseline;
        libraryFaults += minorFaults() - beforeLibrary;
        same = same && actual != nullptr && libraryCount == baselineCount &&
               std::memcmp(actual, expected, size_t{kPoints} * 2 * sizeof(Element)) == 0;
        std::free(expected);
        ci_free_int64_data(actual);
    }
    const double ratio = baseline / library;
    std::printf("%s, 1,000,000 points (%.1f MiB), best of 5; identical arrays: %s\n", name,
                static_cast<double>(bytes) / static_cast<double>(kMiB), same ? "yes" : "NO");
    printRate("minimal fetch + decode (baseline)", bytes, baseline);
    printRate("library", bytes, library);
    printRatio("library speed / baseline", ratio, kTargetSpeedRatio);
    std::printf("  %-44s %8.0f / %.0f\n", "minor page faults per fetch: library / baseline",
                static_cast<double>(libraryFaults) / 5, static_cast<double>(baselineFaults) / 5);
    printTableRow(same ? name : std::string(name) + " (ARRAYS DIFFER)", cell("%.2f ms", library * 1e3),
                  cell("%.2f ms", baseline * 1e3), "plain fetch + decode", "bench server", cell("%.3fx", ratio),
                  cell(">= %.2fx", kTargetSpeedRatio));
    return same;
}

}  // namespace

int main() {
    ScratchDir scratch("veltrano_analysis_fetch_bench");
    const std::vector<unsigned char> payload = pointListPayload();
    BenchServer service(BenchServer::Options{.pointList = payload});
    const std::string libraryConfig = (scratch.path() / "veltranoapi.ini").string();
    std::ofstream(libraryConfig) << "[server]\nserver.ip = 127.0.0.1\nserver.port = " << service.port() << "\n";
    const uint64_t handle = ci_create(libraryConfig.c_str(), scratch.path().c_str());
    if (handle == 0) {
        std::printf("ci_create failed\n");
        return 1;
    }
    bool same = true;
    {
        MinimalLineClient client(service.port());
        same = compare<int64_t>(
                   "processed data to int64 pairs", "{\"cmd\":\"fetch_processdata\"}\n",
                   [&](int* count) { return ci_fetch_tof_processdata(handle, count); }, decodeIntegerPoint, client,
                   payload.size()) &&
               same;
        uint64_t allocations = allocationsOf([&] {
            int count = 0;
            ci_free_int64_data(ci_fetch_tof_processdata(handle, &count));
        });
        std::printf("point-list fetch: %llu heap allocations for %zu reply bytes (%.2g per byte)\n",
                    static_cast<unsigned long long>(allocations), payload.size(),
                    static_cast<double>(allocations) / static_cast<double>(payload.size()));
        printTableRow("heap allocations per point-list reply byte",
                      cell("%.2g", static_cast<double>(allocations) / static_cast<double>(payload.size())), "-", "-",
                      "bench server", "-", "-");
        same = compare<double>(
                   "g2 curve to double pairs", "{\"cmd\":\"fetch_cross_correlation_data\"}\n",
                   [&](int* count) { return ci_fetch_cross_correlation_data(handle, count); }, decodeDoublePoint,
                   client, payload.size()) &&
               same;
    }
    ci_destroy(handle);
    return same ? 0 : 1;
}
