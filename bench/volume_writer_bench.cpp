// Volume writer speed: 1 GiB in 1 MiB pieces through ksq::AsyncFileWriter
// against plain write(2) calls to a file (target: at least 0.8x), each run
// alternately, best of two. The writer is measured as the library uses it
// for hex text (no volume limit, 4 MiB mapping steps; writeData, close) and
// for local acquisition (1 GiB volumes with the local acquisition's mapping
// size; writeData and flush per piece). Both write one file, like the baseline.
// Run: build with -DVELTRANO_BUILD_BENCH=ON, then ./bench/volume_writer_bench

#include "acq/async_file_writer.h"
#include "acq/local_acquisition.h"
#include "bench_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

using namespace velbench;
namespace fs = std::filesystem;

namespace {

constexpr uint64_t kTotal = 1024 * kMiB;
constexpr uint64_t kPiece = kMiB;

void plainWrite(const fs::path& file, const std::vector<unsigned char>& piece) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        std::perror("open");
        return;
    }
    for (uint64_t done = 0; done < kTotal; done += kPiece) {
        size_t offset = 0;
        while (offset < piece.size()) {
            const ssize_t n = ::write(fd, piece.data() + offset, piece.size() - offset);
            if (n <= 0) {
                std::perror("write");
                ::close(fd);
                return;
            }
            offset += static_cast<size_t>(n);
        }
    }
    ::close(fd);
}

void writerWrite(const fs::path& file, const std::vector<unsigned char>& piece, bool asLocalAcquisition) {
    const bool flushEachPiece = asLocalAcquisition;
    const int maxVolumeSize = asLocalAcquisition ? 1024 : -1;
    const uint64_t mapSize = vel::localVolumeMapSize(maxVolumeSize);
    ksq::AsyncFileWriter writer(file.string(), maxVolumeSize, mapSize, mapSize);
    for (uint64_t done = 0; done < kTotal; done += kPiece) {
        if (!writer.writeData(reinterpret_cast<const char*>(piece.data()), piece.size())) {
            std::printf("  writeData failed\n");
            return;
        }
        if (flushEachPiece) {
            writer.flush();
        }
    }
    writer.close();
}

}  // namespace

int main() {
    ScratchDir scratch("veltrano_writer_bench");
    const fs::path file = scratch.path() / "volume.bin";
    const std::vector<unsigned char> piece = noiseBytes(kPiece);

    double plain = 1e300;
    double writer = 1e300;
    double writerFlushing = 1e300;
    for (int round = 0; round < 2; ++round) {
        plain = std::min(plain, timeSeconds([&] { plainWrite(file, piece); }));
        fs::remove(file);
        writer = std::min(writer, timeSeconds([&] { writerWrite(file, piece, false); }));
        fs::remove(file);
        writerFlushing = std::min(writerFlushing, timeSeconds([&] { writerWrite(file, piece, true); }));
        fs::remove(file);
    }
    std::printf("1 GiB in 1 MiB pieces, best of 2:\n");
    printRate("write(2) (baseline)", kTotal, plain);
    printRate("AsyncFileWriter writeData", kTotal, writer);
    printRate("AsyncFileWriter writeData + flush", kTotal, writerFlushing);
    printRatio("writeData / write(2)", plain / writer, 0.8);
    printRatio("writeData + flush / write(2)", plain / writerFlushing, 0.8);
    printRateRow("volume writer: as for hex text", kTotal, writer, plain, "write(2) of the same pieces",
                 "memory to a file", ">= 0.80x");
    printRateRow("volume writer: as for local files", kTotal, writerFlushing, plain, "write(2) of the same pieces",
                 "memory to a file", ">= 0.80x");
    return 0;
}
