// The volume file writer on real files: naming, splitting at the volume size,
// exact bytes across volume boundaries, mapping growth, cutting to the written
// length, failures reported on the standard error stream, concurrent writers.

#include "acq/async_file_writer.h"
#include "support/temp_dir.h"
#include "unit/file_size_limit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using ksq::AsyncFileWriter;

namespace {

constexpr uint64_t kMiB = 1048576;

// Deterministic bytes that differ at every offset of a few MiB.
std::string streamBytes(size_t size, uint32_t seed = 1) {
    std::string bytes(size, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (auto& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Volumes 0, 1, 2, ... of base while they exist, concatenated.
std::string readVolumes(const fs::path& base, int* count = nullptr) {
    std::string all;
    int index = 0;
    for (; fs::exists(AsyncFileWriter::volumeFileName(base, index)); ++index) {
        all += readAll(AsyncFileWriter::volumeFileName(base, index));
    }
    if (count != nullptr) {
        *count = index;
    }
    return all;
}

bool write(AsyncFileWriter& writer, const std::string& bytes) {
    return writer.writeData(bytes.data(), bytes.size());
}

class VolumeFileWriter : public ::testing::Test {
protected:
    fs::path base() const { return dir.path() / "run.bin"; }
    fs::path volume(int index) const { return AsyncFileWriter::volumeFileName(base(), index); }

    veltest::TempDir dir;
};

}  // namespace

TEST(VolumeFileName, InsertsTheIndexBeforeTheLastDotOfTheWholePath) {
    EXPECT_EQ(AsyncFileWriter::volumeFileName("/d/run.bin", 0), fs::path("/d/run.bin"));
    EXPECT_EQ(AsyncFileWriter::volumeFileName("/d/run.bin", -3), fs::path("/d/run.bin"));
    EXPECT_EQ(AsyncFileWriter::volumeFileName("/d/run.bin", 1), fs::path("/d/run_1.bin"));
    EXPECT_EQ(AsyncFileWriter::volumeFileName("/d/run.tar.gz", 12), fs::path("/d/run.tar_12.gz"));
    EXPECT_EQ(AsyncFileWriter::volumeFileName("/d/run", 2), fs::path("/d/run_2"));
    EXPECT_EQ(AsyncFileWriter::volumeFileName("/data.old/run", 1), fs::path("/data_1.old/run"));
    EXPECT_EQ(AsyncFileWriter::volumeFileName(".run", 1), fs::path(".run_1"));
    EXPECT_EQ(AsyncFileWriter::volumeFileName("run", 1), fs::path("run_1"));
}

TEST_F(VolumeFileWriter, SplitsOneLargeWriteIntoFullVolumes) {
    const std::string stream = streamBytes(3 * kMiB);
    {
        AsyncFileWriter writer(base().string(), 1);
        ASSERT_TRUE(write(writer, stream));
        EXPECT_EQ(writer.currentVolumeIndex(), 2);
        EXPECT_TRUE(writer.close());
    }
    int volumes = 0;
    EXPECT_EQ(readVolumes(base(), &volumes), stream);
    EXPECT_EQ(volumes, 3);
    for (int index = 0; index < 3; ++index) {
        EXPECT_EQ(fs::file_size(volume(index)), kMiB) << index;
    }
    EXPECT_TRUE(fs::exists(dir.path() / "run_2.bin"));
}

TEST_F(VolumeFileWriter, KeepsTheStreamExactAcrossBoundariesForUnevenPieces) {
    // 1 MiB volumes and 3 MiB volumes, pieces that straddle every boundary.
    for (int maxVolume : {1, 3}) {
        const std::string stream = streamBytes(7 * kMiB + 12345, static_cast<uint32_t>(maxVolume));
        const size_t pieces[] = {1, 65537, 300001, 7, 1048575, 2 * kMiB + 3};
        {
            AsyncFileWriter writer(base().string(), maxVolume);
            size_t offset = 0;
            for (size_t k = 0; offset < stream.size(); ++k) {
                const size_t piece = std::min(pieces[k % std::size(pieces)], stream.size() - offset);
                ASSERT_TRUE(writer.writeData(stream.data() + offset, piece));
                offset += piece;
            }
        }  // destruction without close() cuts the last volume too
        int volumes = 0;
        EXPECT_EQ(readVolumes(base(), &volumes), stream) << maxVolume;
        const int expected = static_cast<int>((stream.size() + maxVolume * kMiB - 1) / (maxVolume * kMiB));
        EXPECT_EQ(volumes, expected);
        for (int index = 0; index + 1 < volumes; ++index) {
            EXPECT_EQ(fs::file_size(volume(index)), maxVolume * kMiB);
        }
        for (int index = 0; index < volumes; ++index) {
            fs::remove(volume(index));
        }
    }
}

TEST_F(VolumeFileWriter, CreatesTheNextVolumeOnlyWhenMoreDataArrives) {
    AsyncFileWriter writer(base().string(), 1);
    ASSERT_TRUE(write(writer, streamBytes(kMiB)));
    writer.flush();
    EXPECT_FALSE(fs::exists(volume(1)));
    EXPECT_EQ(writer.currentVolumeIndex(), 0);
    ASSERT_TRUE(write(writer, "x"));
    EXPECT_EQ(fs::file_size(volume(0)), kMiB);  // cut when the volume ended
    EXPECT_TRUE(writer.close());
    EXPECT_EQ(readAll(volume(1)), "x");
}

TEST_F(VolumeFileWriter, WithoutLimitWritesOneVolumeCutToItsLength) {
    for (int maxVolume : {0, -5}) {
        const std::string stream = streamBytes(5 * kMiB + 3);
        AsyncFileWriter writer(base().string(), maxVolume);
        ASSERT_TRUE(write(writer, stream));
        EXPECT_TRUE(writer.close());
        EXPECT_EQ(readAll(base()), stream);
        EXPECT_FALSE(fs::exists(volume(1)));
    }
}

TEST_F(VolumeFileWriter, MapsTheVolumeLimitOrFourMebibytesFirst) {
    {
        AsyncFileWriter limited(base().string(), 1);
        EXPECT_EQ(fs::file_size(base()), kMiB);
    }
    EXPECT_EQ(fs::file_size(base()), 0u);  // nothing written: cut to nothing
    AsyncFileWriter unlimited(base().string(), 0);
    EXPECT_EQ(fs::file_size(base()), 4 * kMiB);
}

TEST_F(VolumeFileWriter, GrowsTheMappingByStepOrByHalfWhicheverIsLarger) {
    AsyncFileWriter writer(base().string(), 0);
    // While open the file is as long as the mapping: 4 -> 8 -> 12 -> 18 -> 27 MiB.
    const uint64_t expected[] = {8 * kMiB, 12 * kMiB, 18 * kMiB, 27 * kMiB};
    uint64_t written = 0;
    uint64_t mapped = 4 * kMiB;
    for (uint64_t next : expected) {
        const std::string piece = streamBytes(mapped - written + 1, static_cast<uint32_t>(next));
        ASSERT_TRUE(write(writer, piece));
        written += piece.size();
        EXPECT_EQ(fs::file_size(base()), next);
        mapped = next;
    }
    EXPECT_TRUE(writer.close());
    EXPECT_EQ(fs::file_size(base()), written);
}

TEST_F(VolumeFileWriter, RefusesNullAndEmptyWrites) {
    AsyncFileWriter writer(base().string(), 0);
    EXPECT_FALSE(writer.writeData(nullptr, 10));
    EXPECT_FALSE(writer.writeData("abc", 0));
    EXPECT_TRUE(writer.close());
    EXPECT_EQ(fs::file_size(base()), 0u);
}

TEST_F(VolumeFileWriter, ReplacesExistingFilesOfItsVolumes) {
    veltest::writeTextFile(base(), std::string(5000, 'o'));
    veltest::writeTextFile(volume(1), std::string(5000, 'o'));
    AsyncFileWriter writer(base().string(), 1);
    const std::string stream = streamBytes(kMiB + 10);
    ASSERT_TRUE(write(writer, stream));
    EXPECT_TRUE(writer.close());
    EXPECT_EQ(readVolumes(base()), stream);
}

// Two writers given the same name: the second must not empty the file under
// the first one's mapping (the first one's next write would die of SIGBUS).
// It fails to open instead; the name is free again once the first closes.
TEST_F(VolumeFileWriter, SecondWriterOfTheSameVolumeFailsInsteadOfTruncatingIt) {
    AsyncFileWriter first(base().string(), 0);
    const std::string stream = streamBytes(2 * kMiB);
    ASSERT_TRUE(write(first, stream.substr(0, kMiB)));
    EXPECT_THROW(AsyncFileWriter(base().string(), 0), std::runtime_error);
    ASSERT_TRUE(write(first, stream.substr(kMiB)));
    EXPECT_TRUE(first.close());
    EXPECT_EQ(readAll(base()), stream);

    AsyncFileWriter later(base().string(), 0);
    ASSERT_TRUE(write(later, "abc"));
    EXPECT_TRUE(later.close());
    EXPECT_EQ(readAll(base()), "abc");
}

TEST_F(VolumeFileWriter, CloseIsFinalAndRepeatable) {
    AsyncFileWriter writer(base().string(), 0);
    ASSERT_TRUE(write(writer, "abc"));
    EXPECT_TRUE(writer.close());
    EXPECT_TRUE(writer.close());
    writer.flush();
    writer.asyncFlush();
    EXPECT_FALSE(write(writer, "def"));
    EXPECT_EQ(readAll(base()), "abc");
}

TEST_F(VolumeFileWriter, CreatesMissingFoldersOfTheFirstVolume) {
    const fs::path nested = dir.path() / "a" / "b" / "run.dat";
    AsyncFileWriter writer(nested.string(), 0);
    ASSERT_TRUE(write(writer, "abc"));
    EXPECT_TRUE(writer.close());
    EXPECT_EQ(readAll(nested), "abc");
}

TEST_F(VolumeFileWriter, ThrowsWhenTheFirstVolumeCannotBeCreated) {
    veltest::writeTextFile(dir.path() / "plain", "x");
    EXPECT_THROW(AsyncFileWriter((dir.path() / "plain" / "run.bin").string(), 0), fs::filesystem_error);
    fs::create_directory(dir.path() / "taken.bin");
    try {
        AsyncFileWriter writer((dir.path() / "taken.bin").string(), 0);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to open volume file: " + (dir.path() / "taken.bin").string());
    }
}

TEST_F(VolumeFileWriter, ReportsAFailedSwitchAndStaysUnusable) {
    fs::create_directory(volume(1));  // volume 1 cannot be created as a file
    AsyncFileWriter writer(base().string(), 1);
    const std::string stream = streamBytes(kMiB + 100);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(write(writer, stream));
    EXPECT_FALSE(write(writer, "more"));
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors, "Error: Failed to switch to next volume\n");
    EXPECT_TRUE(writer.close());
    EXPECT_EQ(readAll(base()), stream.substr(0, kMiB));  // the full volume is kept and cut
}

TEST_F(VolumeFileWriter, ReportsAFailedGrowthAndKeepsWhatWasWritten) {
    if (!veltest::FileSizeLimit::kSupported) {
        GTEST_SKIP() << "not on Windows: no per-process file size limit to make a growth fail";
    }
    AsyncFileWriter writer(base().string(), 0);
    const std::string first = streamBytes(3 * kMiB);
    ASSERT_TRUE(write(writer, first));
    testing::internal::CaptureStderr();
    bool grown = true;
    {
        veltest::FileSizeLimit limit(6 * kMiB);
        ASSERT_TRUE(limit.active());
        grown = write(writer, streamBytes(2 * kMiB));  // needs 8 MiB of mapping
    }
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(grown);
    EXPECT_EQ(errors, "Error: Failed to expand mapped file\n");
    // The old mapping is back: writing on still works and nothing was lost.
    ASSERT_TRUE(write(writer, "tail"));
    EXPECT_TRUE(writer.close());
    EXPECT_EQ(readAll(base()), first + "tail");
}

TEST_F(VolumeFileWriter, KeepsEachWriteWholeWhenThreadsWriteAtOnce) {
    constexpr int kThreads = 4;
    constexpr int kPieces = 150;
    constexpr size_t kPieceSize = 4099;  // pieces straddle the 1 MiB boundaries
    {
        AsyncFileWriter writer(base().string(), 1);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&writer, t] {
                for (int piece = 0; piece < kPieces; ++piece) {
                    std::string bytes(kPieceSize, static_cast<char>('A' + t));
                    std::memcpy(bytes.data(), &piece, sizeof piece);
                    EXPECT_TRUE(writer.writeData(bytes.data(), bytes.size()));
                }
            });
        }
        threads.emplace_back([&writer] {
            for (int k = 0; k < 50; ++k) {
                writer.flush();
                writer.asyncFlush();
            }
        });
        for (auto& thread : threads) {
            thread.join();
        }
    }
    int volumes = 0;
    const std::string all = readVolumes(base(), &volumes);
    ASSERT_EQ(all.size(), kThreads * kPieces * kPieceSize);
    EXPECT_EQ(volumes, static_cast<int>((all.size() + kMiB - 1) / kMiB));
    int nextPiece[kThreads] = {};
    for (size_t offset = 0; offset < all.size(); offset += kPieceSize) {
        const int t = all[offset + sizeof(int)] - 'A';
        ASSERT_GE(t, 0);
        ASSERT_LT(t, kThreads);
        int piece = 0;
        std::memcpy(&piece, all.data() + offset, sizeof piece);
        EXPECT_EQ(piece, nextPiece[t]++);
        const std::string body = all.substr(offset + sizeof(int), kPieceSize - sizeof(int));
        EXPECT_EQ(body.find_first_not_of(static_cast<char>('A' + t)), std::string::npos);
    }
}
