// Service-side files: paths, volume splitting and hex conversion.
#include <gtest/gtest.h>

#include <fstream>
#include <numeric>

#include "sim/model/acquisition/hex_conversion.h"
#include "sim/model/acquisition/service_paths.h"
#include "sim/model/acquisition/volume_file_set.h"
#include "support/temp_dir.h"

namespace veltrano::sim {
namespace {

namespace fs = std::filesystem;
using veltest::readTextFile;
using veltest::TempDir;

std::string hexOf(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    appendHexText(bytes.data(), bytes.size(), out);
    return out;
}

std::vector<std::uint8_t> counting(std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    return bytes;
}

TEST(ServicePaths, RelativePathsLieUnderTheDataDirAbsoluteOnesStay) {
    EXPECT_EQ(resolveServicePath("/srv/data", "runs"), fs::path("/srv/data/runs"));
    EXPECT_EQ(resolveServicePath("/srv/data", ""), fs::path("/srv/data"));
    EXPECT_EQ(resolveServicePath("/srv/data", "/tmp/x"), fs::path("/tmp/x"));
    EXPECT_EQ(resolveServicePath("", "runs"), fs::path("./runs"));
}

TEST(ServicePaths, VolumesInsertTheirIndexBeforeTheNamesLastDot) {
    EXPECT_EQ(volumePath("/d/run.bin", 0), fs::path("/d/run.bin"));
    EXPECT_EQ(volumePath("/d/run.bin", 2), fs::path("/d/run_2.bin"));
    EXPECT_EQ(volumePath("/d.old/run.tar.bin", 1), fs::path("/d.old/run.tar_1.bin"));
    EXPECT_EQ(volumePath("/d.old/run", 1), fs::path("/d.old/run_1"));
    EXPECT_EQ(volumePath("/d/.bin", 3), fs::path("/d/.bin_3"));
}

TEST(ServicePaths, HexOutputNameFollowsTheLibrarysRule) {
    EXPECT_EQ(hexOutputName("raw.bin", ""), "raw_convert.dat");
    EXPECT_EQ(hexOutputName("raw.bin", "raw.bin"), "raw_convert.dat");
    EXPECT_EQ(hexOutputName("dir/run", ""), "dir/run_convert.dat");
    EXPECT_EQ(hexOutputName("raw.bin", "out"), "out.dat");
    EXPECT_EQ(hexOutputName("raw.bin", "out.txt"), "out.txt");
}

TEST(HexText, IsTwoLowerCaseDigitsPerByteAndALineFeedAfterEveryEighthAndTheLast) {
    EXPECT_EQ(hexOf({}), "");
    EXPECT_EQ(hexOf({0xAB}), "ab\n");
    EXPECT_EQ(hexOf(counting(9)), "0001020304050607\n08\n");
    for (std::size_t n : {31u, 32u, 33u, 63u, 64u, 65u}) {
        const std::string text = hexOf(counting(n));
        EXPECT_EQ(text.size(), 2 * n + (n + 7) / 8) << n;
        EXPECT_EQ(text.back(), '\n');
        EXPECT_EQ(text.find_first_not_of("0123456789abcdef\n"), std::string::npos);
        EXPECT_EQ(text.substr(0, 17), "0001020304050607\n");
    }
}

TEST(HexText, PiecesOfWholeLinesGiveTheSameTextAsTheWhole) {
    const std::vector<std::uint8_t> bytes = counting(43);
    std::string pieces;
    appendHexText(bytes.data(), 16, pieces);
    appendHexText(bytes.data() + 16, 27, pieces);
    EXPECT_EQ(pieces, hexOf(bytes));
}

TEST(HexFileConversion, ConvertsAFileOfOneMebibytePlusThreeIntoFullLinesAndASixDigitLine) {
    TempDir dir;
    std::vector<std::uint8_t> bytes((1 << 20) + 3, 0x5a);
    bytes[(1 << 20) + 2] = 0x01;
    std::ofstream(dir.path() / "raw.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_EQ(convertFileToHex(dir.path() / "raw.bin", dir.path() / "raw.hex"), "");
    const std::string text = readTextFile(dir.path() / "raw.hex");
    ASSERT_EQ(text.size(), 131072u * 17 + 7);
    EXPECT_EQ(text.substr(0, 17), "5a5a5a5a5a5a5a5a\n");
    EXPECT_EQ(text.substr(131072u * 17), "5a5a01\n");
    EXPECT_EQ(text, hexOf(bytes));
}

TEST(HexFileConversion, EmptyInputGivesAnEmptyFileAndAMissingOneNoFile) {
    TempDir dir;
    veltest::writeTextFile(dir.path() / "empty.bin", "");
    EXPECT_EQ(convertFileToHex(dir.path() / "empty.bin", dir.path() / "empty.dat"), "");
    EXPECT_TRUE(fs::exists(dir.path() / "empty.dat"));
    EXPECT_EQ(fs::file_size(dir.path() / "empty.dat"), 0u);

    EXPECT_NE(convertFileToHex(dir.path() / "missing.bin", dir.path() / "missing.dat"), "");
    EXPECT_FALSE(fs::exists(dir.path() / "missing.dat"));
    EXPECT_NE(convertFileToHex(dir.path(), dir.path() / "folder.dat"), "");
    EXPECT_NE(convertFileToHex(dir.path() / "empty.bin", dir.path() / "no" / "such" / "dir.dat"), "");
}

class VolumeFileSetTest : public ::testing::Test {
protected:
    // Writes `records` records of `size` bytes, each filled with its number.
    std::vector<std::uint8_t> writeRecords(VolumeFileSet& files, int records, std::size_t size) {
        std::vector<std::uint8_t> stream;
        for (int i = 0; i < records; ++i) {
            const std::vector<std::uint8_t> record(size, static_cast<std::uint8_t>(i));
            files.writeRecord(record);
            stream.insert(stream.end(), record.begin(), record.end());
        }
        files.close();
        return stream;
    }
    std::vector<std::uint8_t> concatenated(const VolumeFileSet& files) {
        std::vector<std::uint8_t> all;
        for (const std::string& path : files.paths()) {
            const std::string text = readTextFile(path);
            all.insert(all.end(), text.begin(), text.end());
        }
        return all;
    }
    TempDir dir_;
};

TEST_F(VolumeFileSetTest, SplittingExactlyFillsEveryVolumeButTheLastToTheLimit) {
    VolumeFileSet files(dir_.path() / "sub" / "run.bin", 100, true);
    const std::vector<std::uint8_t> stream = writeRecords(files, 35, 10);  // 350 bytes
    ASSERT_EQ(files.paths().size(), 4u);
    EXPECT_EQ(files.paths()[1], (dir_.path() / "sub" / "run_1.bin").string());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(fs::file_size(files.paths()[i]), 100u);
    EXPECT_EQ(fs::file_size(files.paths()[3]), 50u);
    EXPECT_EQ(concatenated(files), stream);
    EXPECT_EQ(files.bytesWritten(), 350u);
    Fnv1a64 hash;
    hash.update(stream.data(), stream.size());
    EXPECT_EQ(files.checksum(), hash.value());
}

TEST_F(VolumeFileSetTest, SplittingAtRecordsKeepsEveryRecordWholeInOneVolume) {
    VolumeFileSet files(dir_.path() / "run.dat", 100, false);
    const std::vector<std::uint8_t> stream = writeRecords(files, 20, 24);  // 4 records (96 bytes) per volume
    ASSERT_EQ(files.paths().size(), 5u);
    for (const std::string& path : files.paths()) EXPECT_EQ(fs::file_size(path), 96u);
    EXPECT_EQ(concatenated(files), stream);
}

TEST_F(VolumeFileSetTest, NoLimitMeansOneVolumeAndAnExactFitOpensNoEmptyVolume) {
    VolumeFileSet unlimited(dir_.path() / "all.bin", 0, true);
    writeRecords(unlimited, 100, 16);
    EXPECT_EQ(unlimited.paths().size(), 1u);
    EXPECT_EQ(fs::file_size(unlimited.paths()[0]), 1600u);

    VolumeFileSet exact(dir_.path() / "exact.bin", 64, true);
    writeRecords(exact, 8, 16);
    EXPECT_EQ(exact.paths().size(), 2u);
}

TEST_F(VolumeFileSetTest, AFolderThatCannotBeMadeIsRefusedAtOnce) {
    veltest::writeTextFile(dir_.path() / "plain", "a file, not a folder");
    EXPECT_THROW(VolumeFileSet(dir_.path() / "plain" / "run.bin", 0, true), std::runtime_error);
}

}  // namespace
}  // namespace veltrano::sim
