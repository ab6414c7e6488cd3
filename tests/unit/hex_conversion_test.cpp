// Hex text of raw bytes (scalar and vector formatters), the file converter and
// the two conversion exports: the local one on real files, the service one
// against the scripted service.

#include "acq/nbin_file_converter.h"
#include "core/common_utils.h"
#include "core/hex_text.h"
#include "support/service_session.h"
#include "unit/file_size_limit.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using ksq::CCommonUtils;

namespace {

constexpr size_t kMiB = 1048576;

std::vector<unsigned char> randomBytes(size_t size, uint32_t seed = 7) {
    std::vector<unsigned char> bytes(size);
    uint32_t state = seed;
    for (auto& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<unsigned char>(state >> 16);
    }
    return bytes;
}

// The text format written out independently: "%02x" per byte, a line feed
// after every 8th byte and after the last.
std::string referenceHex(const std::vector<unsigned char>& bytes) {
    std::string text;
    char pair[3];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
        if (i % 8 == 7 || i + 1 == bytes.size()) {
            text += '\n';
        }
    }
    return text;
}

std::string scalarHex(const std::vector<unsigned char>& bytes) {
    std::vector<uint8_t> out;
    CCommonUtils::bytesToHexs(bytes.data(), bytes.size(), out);
    return std::string(out.begin(), out.end());
}

std::string fastHex(const std::vector<unsigned char>& bytes) {
    std::vector<uint8_t> out;
    CCommonUtils::fastBytesToHexs(bytes.data(), bytes.size(), out);
    return std::string(out.begin(), out.end());
}

// Lengths around every line and vector-block boundary, and 1 MiB + 3.
std::vector<size_t> interestingLengths() {
    std::vector<size_t> lengths;
    for (size_t length = 0; length <= 130; ++length) {
        lengths.push_back(length);
    }
    lengths.push_back(kMiB + 3);
    return lengths;
}

// Turns the vector formatter off for one test.
class ScalarOnly {
public:
    ScalarOnly() { ksq::hextext::allowVectorFormatters(false); }
    ~ScalarOnly() { ksq::hextext::allowVectorFormatters(true); }
};

void writeBinaryFile(const fs::path& file, const std::vector<unsigned char>& bytes) {
    veltest::writeTextFile(file, std::string(bytes.begin(), bytes.end()));
}

}  // namespace

TEST(HexText, WritesTwoDigitsPerByteAndALineFeedAfterEveryEighth) {
    EXPECT_EQ(scalarHex({}), "");
    EXPECT_EQ(scalarHex({0xAB}), "ab\n");
    EXPECT_EQ(scalarHex({0, 1, 2, 3, 4, 5, 6, 7, 0xF8}), "0001020304050607\nf8\n");
    EXPECT_EQ(scalarHex({0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE}), "1032547698badcfe\n");
}

TEST(HexText, AppendsToWhatIsAlreadyThere) {
    std::vector<uint8_t> out = {'x'};
    const std::vector<unsigned char> bytes = randomBytes(70);
    CCommonUtils::bytesToHexs(bytes.data(), bytes.size(), out);
    CCommonUtils::fastBytesToHexs(bytes.data(), bytes.size(), out);
    EXPECT_EQ(std::string(out.begin(), out.end()), "x" + referenceHex(bytes) + referenceHex(bytes));
}

TEST(HexText, BothFormattersMatchTheReferenceForEveryLength) {
    for (size_t length : interestingLengths()) {
        const auto bytes = randomBytes(length, static_cast<uint32_t>(length));
        const std::string expected = referenceHex(bytes);
        EXPECT_EQ(expected.size(), ksq::hextext::textLength(length)) << length;
        EXPECT_EQ(scalarHex(bytes), expected) << length;
        EXPECT_EQ(fastHex(bytes), expected) << length;
    }
}

TEST(HexText, FastFormatterMatchesWithTheVectorPathTurnedOff) {
    ScalarOnly scalar;
    EXPECT_FALSE(ksq::hextext::avx2Usable());
    EXPECT_FALSE(ksq::hextext::avx512Usable());
    for (size_t length : {size_t{33}, size_t{64}, size_t{65}, kMiB + 3}) {
        const auto bytes = randomBytes(length);
        EXPECT_EQ(fastHex(bytes), referenceHex(bytes)) << length;
    }
}

TEST(HexText, OneMebibytePlusThreeGivesFullLinesAndASixDigitLine) {
    const std::string text = fastHex(randomBytes(kMiB + 3));
    ASSERT_EQ(text.size(), 131072u * 17 + 7);
    EXPECT_EQ(text[131072u * 17 - 1], '\n');
    EXPECT_EQ(text.find('\n', 131072u * 17), text.size() - 1);
}

TEST(NBinFileConverterNames, DerivesTheOutputPathFromTheArguments) {
    struct Case {
        const char* bin;
        const char* hex;
        const char* expected;
    } cases[] = {
        {"raw.bin", "", "raw_convert.dat"},
        {"run", "", "run_convert.dat"},
        {"dir/raw.bin", "dir/raw.bin", "dir/raw_convert.dat"},
        {"raw.bin", "out", "out.dat"},
        {"raw.bin", "out.txt", "out.txt"},
    };
    for (const auto& c : cases) {
        // Compared as paths: Windows joins a folder and a name with "\\".
        EXPECT_EQ(fs::path(NBinFileConverter(c.bin, c.hex, "/base").hexFile()), fs::path(c.expected))
            << c.bin << " " << c.hex;
    }
}

using HexConversionLocal = veltest::ServiceSessionTest;

TEST_F(HexConversionLocal, ConvertsAFileUnderTheBaseDirectoryWithoutTheService) {
    const auto bytes = randomBytes(kMiB + 3);
    writeBinaryFile(dir.path() / "data" / "raw.bin", bytes);
    EXPECT_EQ(ci_convert_to_hex_local(handle, "data/raw.bin", nullptr), 0);
    EXPECT_EQ(veltest::readTextFile(dir.path() / "data" / "raw_convert.dat"), referenceHex(bytes));
    EXPECT_TRUE(service.requests().empty());
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(HexConversionLocal, ConvertsSmallFilesExactly) {
    const std::vector<std::vector<unsigned char>> inputs = {{}, {0xAB}, randomBytes(9), randomBytes(65)};
    for (const auto& bytes : inputs) {
        const fs::path bin = dir.path() / "small.bin";
        const fs::path hex = dir.path() / "small.txt";
        writeBinaryFile(bin, bytes);
        veltest::writeTextFile(hex, std::string(5000, 'o'));  // replaced, not appended to
        EXPECT_EQ(ci_convert_to_hex_local(handle, bin.string().c_str(), hex.string().c_str()), 0);
        EXPECT_EQ(veltest::readTextFile(hex), referenceHex(bytes)) << bytes.size();
    }
    EXPECT_EQ(veltest::readTextFile(dir.path() / "small.txt").size(), 2 * 65 + 9u);
}

TEST_F(HexConversionLocal, ConvertsLargeFilesInChunksWithTheScalarPathToo) {
    ScalarOnly scalar;
    const auto bytes = randomBytes(3 * kMiB + 17);
    writeBinaryFile(dir.path() / "large.bin", bytes);
    EXPECT_EQ(ci_convert_to_hex_local(handle, "large.bin", "large"), 0);
    EXPECT_EQ(veltest::readTextFile(dir.path() / "large.dat"), referenceHex(bytes));
}

TEST_F(HexConversionLocal, RefusesAnEmptyBinFileNameWithALogLine) {
    EXPECT_EQ(ci_convert_to_hex_local(handle, nullptr, "out.txt"), -1);
    EXPECT_EQ(ci_convert_to_hex_local(handle, "", "out.txt"), -1);
    EXPECT_EQ(log.errors(), std::vector<std::string>(2, "Empty bin file name specified"));
    EXPECT_FALSE(fs::exists(dir.path() / "out.txt"));
    EXPECT_EQ(ci_convert_to_hex_local(handle + 100, "raw.bin", nullptr), -1);
}

TEST_F(HexConversionLocal, MissingInputFailsWithoutCreatingOutput) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(ci_convert_to_hex_local(handle, "absent.bin", nullptr), -1);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors, "Convert RAW binary file error: Failed to open binary file: " +
                          (dir.path() / "absent.bin").string() + "\n");
    EXPECT_FALSE(fs::exists(dir.path() / "absent_convert.dat"));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(HexConversionLocal, OutputThatCannotBeCreatedFails) {
    writeBinaryFile(dir.path() / "raw.bin", randomBytes(10));
    fs::create_directory(dir.path() / "taken.dat");
    testing::internal::CaptureStderr();
    EXPECT_EQ(ci_convert_to_hex_local(handle, "raw.bin", "taken.dat"), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Convert RAW binary file error: Failed to open volume file: " + (dir.path() / "taken.dat").string() +
                  "\n");
}

TEST_F(HexConversionLocal, FailsWhenTheTextCannotBeWrittenCompletely) {
    if (!veltest::FileSizeLimit::kSupported) {
        GTEST_SKIP() << "not on Windows: no per-process file size limit to make a growth fail";
    }
    // 4 MiB give 8.5 MiB of text; the file may not grow past 6 MiB.
    writeBinaryFile(dir.path() / "raw.bin", randomBytes(4 * kMiB));
    testing::internal::CaptureStderr();
    int result = 0;
    {
        veltest::FileSizeLimit limit(6 * kMiB);
        ASSERT_TRUE(limit.active());
        result = ci_convert_to_hex_local(handle, "raw.bin", "out.txt");
    }
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(errors, "Error: Failed to expand mapped file\n"
                      "Convert RAW binary file error: Failed to write hex file: " +
                          (dir.path() / "out.txt").string() + "\n");
}

using HexConversionService = veltest::ServiceSessionTest;

TEST_F(HexConversionService, SendsConvertToHexWithBothPaths) {
    service.replyJson({{"result", 5}});
    EXPECT_EQ(ci_convert_to_hex(handle, "/srv/raw.bin", "/srv/raw.txt"), 5);
    EXPECT_EQ(onlyRequest(), "{\"bin_file\":\"/srv/raw.bin\",\"cmd\":\"convert_to_hex\",\"hex_file\":\"/srv/raw.txt\"}\n");
}

TEST_F(HexConversionService, SendsAnEmptyHexFileForNull) {
    EXPECT_EQ(ci_convert_to_hex(handle, "raw.bin", nullptr), 0);
    EXPECT_EQ(onlyRequest(), "{\"bin_file\":\"raw.bin\",\"cmd\":\"convert_to_hex\",\"hex_file\":\"\"}\n");
}

TEST_F(HexConversionService, RefusesAnEmptyBinFileNameWithoutSending) {
    EXPECT_EQ(ci_convert_to_hex(handle, "", "x"), -1);
    EXPECT_EQ(ci_convert_to_hex(handle, nullptr, "x"), -1);
    EXPECT_EQ(log.errors(), std::vector<std::string>(2, "Empty bin file name specified"));
    EXPECT_EQ(ci_convert_to_hex(0, "raw.bin", "x"), -1);
    EXPECT_TRUE(service.requests().empty());
}
