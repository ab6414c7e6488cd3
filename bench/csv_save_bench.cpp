// Saving an analysis point list to CSV: 1,000,000 points through the
// library's saver (the data lines every analysis appends at stop) against a
// plain fprintf("%g,%g\n") loop into a file (target: at least as fast, 1.0x).
// Both write the same text: %g is the default double format. Best of five,
// alternating. Points look like a histogram: picosecond time differences and
// counts, with some fractional and large values mixed in.
// Run: build with -DVELTRANO_BUILD_BENCH=ON, then ./bench/csv_save_bench

#include "analysis/point_csv.h"
#include "bench_support.h"

#include <cstdio>
#include <fstream>
#include <iterator>

using namespace velbench;
namespace fs = std::filesystem;

namespace {

constexpr size_t kPoints = 1000000;

vel::PointList histogramPoints() {
    vel::PointList points;
    points.reserve(kPoints);
    uint64_t state = 12345;
    for (size_t i = 0; i < kPoints; ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const double tdiff = -500000.0 + static_cast<double>(i) * 1.5;
        double counts = static_cast<double>(state >> 44);
        if (i % 7 == 0) {
            counts /= 3.0;  // averaged histograms carry fractions
        }
        points.emplace_back(tdiff, counts);
    }
    return points;
}

void fprintfSave(const fs::path& file, const vel::PointList& points) {
    FILE* out = std::fopen(file.c_str(), "a");
    if (out == nullptr) {
        std::perror("fopen");
        return;
    }
    for (const auto& [x, y] : points) {
        std::fprintf(out, "%g,%g\n", x, y);
    }
    std::fclose(out);
}

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main() {
    ScratchDir scratch("veltrano_csv_save_bench");
    const fs::path plainFile = scratch.path() / "plain.csv";
    const fs::path libraryFile = scratch.path() / "library.csv";
    const vel::PointList points = histogramPoints();

    double plain = 1e300;
    double library = 1e300;
    bool same = true;
    for (int round = 0; round < 5; ++round) {
        fs::remove(plainFile);
        fs::remove(libraryFile);
        plain = std::min(plain, timeSeconds([&] { fprintfSave(plainFile, points); }));
        library = std::min(library, timeSeconds([&] {
            if (!vel::appendPointsToCsvFile(libraryFile.string(), points)) {
                std::printf("  the saver failed\n");
            }
        }));
        same = same && readAll(plainFile) == readAll(libraryFile);
    }
    const uint64_t bytes = fs::file_size(libraryFile);
    std::printf("1,000,000 points to CSV (%.1f MiB), best of 5; identical text: %s\n",
                static_cast<double>(bytes) / static_cast<double>(kMiB), same ? "yes" : "NO");
    printRate("fprintf(\"%g,%g\\n\") loop (baseline)", bytes, plain);
    printRate("library saver", bytes, library);
    printRatio("saver speed / fprintf", plain / library, 1.0);
    printRateRow(same ? "CSV save of 1M points" : "CSV save of 1M points (TEXT DIFFERS)", bytes, library, plain,
                 "fprintf(\"%g,%g\\n\") loop", "memory to a file", ">= 1.00x");
    return same ? 0 : 1;
}
