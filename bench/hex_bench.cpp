// Hex text speed. 1) fastBytesToHexs against bytesToHexs on 64 MiB in memory
// (target: at least 4x). 2) ci_convert_to_hex_local on a 256 MiB file against
// "xxd -p" of the same file (target: at least 5x faster), when xxd is there.
// Run: build with -DVELTRANO_BUILD_BENCH=ON, then ./bench/hex_bench

#include "api/inst_instance.h"
#include "api/session_registry.h"
#include "bench_support.h"
#include "core/common_utils.h"
#include "core/hex_text.h"

#include <veltranoapi/veltranoapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

using namespace velbench;
namespace fs = std::filesystem;

namespace {

// Formats kInput bytes in calls of piece bytes each, appending to a buffer that
// is cleared before every call (as the file converter does with 1 MiB chunks).
template <class Format>
double timeFormatting(const std::vector<unsigned char>& data, uint64_t piece, std::vector<uint8_t>& text,
                      Format format) {
    return bestOf(3, [&] {
        for (uint64_t offset = 0; offset < data.size(); offset += piece) {
            text.clear();
            format(data.data() + offset, piece, text);
        }
    });
}

void benchInMemory() {
    constexpr uint64_t kInput = 64 * kMiB;
    const std::vector<unsigned char> data = noiseBytes(kInput);
    std::printf("Hex text of 64 MiB in memory (AVX2 %s):\n",
                ksq::hextext::avx2Usable() ? "in use" : "not available");
    std::vector<uint8_t> scalarText;
    std::vector<uint8_t> fastText;
    // One call over all 64 MiB: 136 MiB of text, bound by memory bandwidth.
    // The first run of each sizes the reused buffer.
    ksq::CCommonUtils::bytesToHexs(data.data(), kInput, scalarText);
    ksq::CCommonUtils::fastBytesToHexs(data.data(), kInput, fastText);
    if (scalarText != fastText) {
        std::printf("  MISMATCH between the two texts\n");
    }
    const double scalarWhole = timeFormatting(data, kInput, scalarText, ksq::CCommonUtils::bytesToHexs);
    const double fastWhole = timeFormatting(data, kInput, fastText, ksq::CCommonUtils::fastBytesToHexs);
    printRate("one call: bytesToHexs (baseline)", kInput, scalarWhole);
    printRate("one call: fastBytesToHexs", kInput, fastWhole);
    printRatio("one call: fast / scalar", scalarWhole / fastWhole, 4.0);
    // 1 MiB per call into a reused buffer, the converter's pattern.
    const double scalarChunks = timeFormatting(data, kMiB, scalarText, ksq::CCommonUtils::bytesToHexs);
    const double fastChunks = timeFormatting(data, kMiB, fastText, ksq::CCommonUtils::fastBytesToHexs);
    printRate("1 MiB calls: bytesToHexs (baseline)", kInput, scalarChunks);
    printRate("1 MiB calls: fastBytesToHexs", kInput, fastChunks);
    printRatio("1 MiB calls: fast / scalar", scalarChunks / fastChunks, 4.0);
    // The same 256 KiB formatted 256 times: input and text stay in the cache,
    // so this shows the formatters' own speed without memory traffic.
    constexpr uint64_t kHot = 256 * 1024;
    const auto hotPasses = [&](auto format, std::vector<uint8_t>& text) {
        return bestOf(3, [&] {
            for (uint64_t pass = 0; pass < kInput / kHot; ++pass) {
                text.clear();
                format(data.data(), kHot, text);
            }
        });
    };
    const double scalarHot = hotPasses(ksq::CCommonUtils::bytesToHexs, scalarText);
    const double fastHot = hotPasses(ksq::CCommonUtils::fastBytesToHexs, fastText);
    printRate("in cache: bytesToHexs (baseline)", kInput, scalarHot);
    printRate("in cache: fastBytesToHexs", kInput, fastHot);
    printRatio("in cache: fast / scalar", scalarHot / fastHot, 4.0);
}

void benchFileConversion() {
    constexpr uint64_t kInput = 256 * kMiB;
    ScratchDir scratch("veltrano_hex_bench");
    const fs::path input = scratch.path() / "raw.bin";
    {
        const std::vector<unsigned char> data = noiseBytes(kInput);
        std::ofstream out(input, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }
    // A session without a connection: the local conversion sends nothing.
    auto session = std::make_shared<InstInstance>();
    session->baseDir = scratch.path().string();
    const uint64_t handle = vel::SessionRegistry::add(session);

    int result = 0;
    double library = 1e300;
    for (int run = 0; run < 2; ++run) {
        library = std::min(library, timeSeconds([&] { result = ci_convert_to_hex_local(handle, "raw.bin", "raw_hex.txt"); }));
        fs::remove(scratch.path() / "raw_hex.txt");
    }
    std::printf("Hex conversion of a 256 MiB file:\n");
    printRate("ci_convert_to_hex_local", kInput, library);
    if (result != 0) {
        std::printf("  ci_convert_to_hex_local failed (%d)\n", result);
    }
#if defined(VELTRANO_XXD)
    const std::string command =
        std::string(VELTRANO_XXD) + " -p '" + input.string() + "' > '" + (scratch.path() / "xxd.txt").string() + "'";
    int status = 0;
    const double xxd = timeSeconds([&] { status = std::system(command.c_str()); });
    printRate("xxd -p (baseline)", kInput, xxd);
    if (status != 0) {
        std::printf("  xxd failed (%d)\n", status);
    }
    printRatio("speed-up over xxd -p", xxd / library, 5.0);
#else
    std::printf("  xxd is not installed (Debian package xxd): no baseline, no ratio\n");
#endif
    ci_destroy(handle);
}

}  // namespace

int main() {
    benchInMemory();
    benchFileConversion();
    return 0;
}
