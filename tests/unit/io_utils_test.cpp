#include "core/io_utils.h"
#include "core/output_file_path.h"
#include "core/string_utils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;
using ksq::CIOUtils;

namespace {

bool isTimestamp(const std::string& text) {
    return text.size() == 14 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string prepared(std::string name, const std::string& ext) {
    CIOUtils::prepareFileName(name, ext);
    return name;
}

std::string suffixed(std::string name, const std::string& suffix) {
    CIOUtils::suffixFileName(name, suffix);
    return name;
}

std::vector<uint8_t> bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// An absolute root and the separator the library joins paths with: "/" and
// "/" on POSIX systems, a drive and "\\" on Windows.
#if defined(_WIN32)
const std::string kRoot = "C:\\";
const std::string kSep = "\\";
#else
const std::string kRoot = "/";
const std::string kSep = "/";
#endif

// A path's text as the file system holds it, in UTF-8 (bytes on POSIX
// systems, converted from UTF-16 on Windows).
std::string systemText(const fs::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

// A fresh directory per test, removed afterwards.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        dir_ = fs::temp_directory_path() / ("veltrano_io_" + std::to_string(random()));
        fs::create_directories(dir_);
        base_ = dir_.string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    fs::path dir_;
    std::string base_;
};

class FileWriting : public TempDirTest {};
class OutputFilePath : public TempDirTest {};

}  // namespace

TEST(PathResolution, EmptyPathAndEmptyBaseGiveTheWorkingDirectory) {
    EXPECT_EQ(CIOUtils::resolveBasePath("", ""), fs::current_path().string());
    EXPECT_EQ(CIOUtils::getBaseDir(""), fs::current_path().string());
}

TEST(PathResolution, RelativeBaseDirKeepsItsLastComponent) {
    EXPECT_EQ(CIOUtils::getBaseDir("logs"), (fs::current_path() / "logs").string());
    EXPECT_EQ(CIOUtils::getBaseDir(kRoot + "data" + kSep + "runs"), kRoot + "data" + kSep + "runs");
}

TEST(PathResolution, AbsolutePathIsReturnedWhateverTheBase) {
    const std::string ini = kRoot + "etc" + kSep + "veltrano.ini";
    EXPECT_EQ(CIOUtils::resolveBasePath(ini, kRoot + "data"), ini);
    EXPECT_EQ(CIOUtils::resolveBasePath(ini, "relative"), ini);
}

TEST(PathResolution, RelativePathIsJoinedToTheAbsoluteBase) {
    EXPECT_EQ(CIOUtils::resolveBasePath("config.ini", kRoot + "data"), kRoot + "data" + kSep + "config.ini");
    EXPECT_EQ(CIOUtils::resolveBasePath("config.ini", "work"),
              (fs::current_path() / "work" / "config.ini").string());
    EXPECT_EQ(CIOUtils::resolveBasePath("log", ""), (fs::current_path() / "log").string());
    EXPECT_EQ(CIOUtils::resolveBasePath("", kRoot + "data"), kRoot + "data");
}

TEST(Utf8Paths, WellFormedNamesSurviveUnchanged) {
    const std::string name = "/data/Messung_\xC3\xBC\xC3\x9F_\xE6\xB8\xAC\xE5\xAE\x9A_\xF0\x9F\x93\x88.csv";
    EXPECT_EQ(CIOUtils::toUtf8String(CIOUtils::fromUtf8String(name)), name);
    EXPECT_EQ(systemText(CIOUtils::fromUtf8String(name)), name);
    EXPECT_TRUE(CIOUtils::fromUtf8String("").empty());
    EXPECT_EQ(CIOUtils::toUtf8String(fs::path()), "");
}

TEST(Utf8Paths, MalformedSequencesBecomeReplacementCharacters) {
    const std::string r = "\xEF\xBF\xBD";
    const struct {
        std::string input;
        std::string expected;
    } cases[] = {
        {"a\xFF" "b", "a" + r + "b"},                 // byte that starts nothing
        {"a\x80", "a" + r},                           // stray continuation byte
        {"x\xE6\xB8", "x" + r},                       // truncated sequence at the end
        {"\xE6\xB8y", r + "y"},                       // truncated sequence before ASCII
        {"\xC0\xAF", r + r},                          // overlong form
        {"\xED\xA0\x80", r + r + r},                  // UTF-16 surrogate
        {"\xF4\x90\x80\x80", r + r + r + r},          // above U+10FFFF
    };
    for (const auto& c : cases) {
        EXPECT_EQ(systemText(CIOUtils::fromUtf8String(c.input)), c.expected);
#if !defined(_WIN32)  // a Windows path cannot be made of malformed UTF-8 bytes
        EXPECT_EQ(CIOUtils::toUtf8String(fs::path(c.input)), c.expected);
#endif
    }
}

TEST(FileNaming, TimestampIsFourteenDigitsOfTheCurrentSecond) {
    const std::string before = CIOUtils::generateTimestamp();
    const std::string now = CIOUtils::generateTimestamp();
    const std::string after = CIOUtils::generateTimestamp();
    EXPECT_TRUE(isTimestamp(now)) << now;
    EXPECT_LE(before, now);
    EXPECT_LE(now, after);
}

TEST(FileNaming, PrepareAddsTimestampAndExtensionOnlyToNamesWithoutExtension) {
    const std::string name = prepared("data", ".csv");
    ASSERT_EQ(name.size(), std::string("data_").size() + 14 + 4) << name;
    EXPECT_EQ(name.substr(0, 5), "data_");
    EXPECT_TRUE(isTimestamp(name.substr(5, 14))) << name;
    EXPECT_EQ(name.substr(19), ".csv");

    EXPECT_EQ(prepared("runs/data", ".csv").substr(0, 10), "runs/data_");
    EXPECT_EQ(prepared("data.bin", ".csv"), "data.bin");
    EXPECT_EQ(prepared("data", ""), "data");
}

// Paths the library joins use the system's separator ("dir\\a_x.csv" on
// Windows): compared as paths.
TEST(FileNaming, SuffixGoesBetweenStemAndExtension) {
    EXPECT_EQ(fs::path(suffixed("dir/a.csv", "_x")), fs::path("dir/a_x.csv"));
    EXPECT_EQ(suffixed("a", "_x"), "a_x");
    EXPECT_EQ(suffixed("a.b.csv", "_x"), "a.b_x.csv");
    EXPECT_EQ(suffixed("dir/a.csv", ""), "dir/a.csv");
}

TEST(FileNaming, ExtensionNeedsADotAfterTheFirstCharacter) {
    EXPECT_FALSE(CIOUtils::hasFileSuffix("a"));
    EXPECT_FALSE(CIOUtils::hasFileSuffix(".profile"));
    EXPECT_FALSE(CIOUtils::hasFileSuffix("dir.d/a"));
    EXPECT_TRUE(CIOUtils::hasFileSuffix("a.b"));

    EXPECT_EQ(fs::path(CIOUtils::removeFileSuffix("x/y.csv")), fs::path("x/y"));
    EXPECT_EQ(CIOUtils::removeFileSuffix("x/y"), "x/y");
    EXPECT_EQ(CIOUtils::removeFileSuffix("y.tar.gz"), "y.tar");
}

TEST_F(FileWriting, TruncatesAndWritesHeaderLineThenData) {
    const fs::path file = dir_ / "counts.csv";
    ASSERT_TRUE(CIOUtils::writeFile(file.string(), "old", bytes("stale\n"), false));
    ASSERT_TRUE(CIOUtils::writeFile(file.string(), "time(s),counts", bytes("1,2\n"), false));
    EXPECT_EQ(readAll(file), "time(s),counts\n1,2\n");

    const std::string binary("\r\n\0z", 4);
    ASSERT_TRUE(CIOUtils::writeFile(file.string(), "", bytes(binary), false));
    EXPECT_EQ(readAll(file), binary);  // bytes kept as they are

    ASSERT_TRUE(CIOUtils::writeFile(file.string(), "", {}, false));
    EXPECT_EQ(fs::file_size(file), 0u);
}

TEST_F(FileWriting, AppendKeepsOldContentAndRepeatsTheHeader) {
    const fs::path file = dir_ / "counts.csv";
    ASSERT_TRUE(CIOUtils::writeFile(file.string(), "h", bytes("1\n"), false));
    ASSERT_TRUE(CIOUtils::writeFile(file.string(), "h", bytes("2\n"), true));
    ASSERT_TRUE(CIOUtils::writeFile(file.string(), "", bytes("3\n"), true));
    EXPECT_EQ(readAll(file), "h\n1\nh\n2\n3\n");
}

TEST_F(FileWriting, CreatesTheMissingDirectoryTree) {
    const fs::path file = dir_ / "a" / "b" / "c" / "out.csv";
    ASSERT_TRUE(CIOUtils::writeFile(file.string(), "x", {}, false));
    EXPECT_EQ(readAll(file), "x\n");
}

TEST_F(FileWriting, FailsOnEmptyPathBlockedDirectoryOrDirectoryTarget) {
    EXPECT_FALSE(CIOUtils::writeFile("", "x", {}, false));

    const fs::path notADirectory = dir_ / "plain";
    ASSERT_TRUE(CIOUtils::writeFile(notADirectory.string(), "", {}, false));
    EXPECT_FALSE(CIOUtils::writeFile((notADirectory / "sub" / "f.csv").string(), "x", {}, false));
    EXPECT_FALSE(CIOUtils::writeFile(dir_.string(), "x", {}, false));  // a directory
}

TEST_F(FileWriting, EnsureDirectoryAcceptsBareNamesAndExistingDirectories) {
    EXPECT_TRUE(CIOUtils::ensureDirectoryExistsP("bare.csv"));
    EXPECT_TRUE(CIOUtils::ensureDirectoryExistsP(dir_ / "f.csv"));
    EXPECT_TRUE(CIOUtils::ensureDirectoryExistsP(dir_ / "new" / "f.csv"));
    EXPECT_TRUE(fs::is_directory(dir_ / "new"));
    EXPECT_FALSE(fs::exists(dir_ / "new" / "f.csv"));
}

TEST_F(FileWriting, Utf8FileNameIsCreatedByteForByte) {
    const std::string name = "Z\xC3\xA4hlrate_\xE6\xB8\xAC\xE5\xAE\x9A.csv";
    ASSERT_TRUE(CIOUtils::writeFile(base_ + "/" + name, "h", {}, false));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
        names.push_back(systemText(entry.path().filename()));
    }
    EXPECT_EQ(names, std::vector<std::string>{name});
}

TEST_F(OutputFilePath, JoinsFolderSuffixedNameTimestampAndExtension) {
    const std::string path = makeOutputFilePath("runs", "tof", ".csv", "_ch1", base_, "tof");
    const std::string prefix = base_ + kSep + "runs/tof_ch1_";
    ASSERT_EQ(path.size(), prefix.size() + 14 + 4) << path;
    EXPECT_EQ(path.substr(0, prefix.size()), prefix);
    EXPECT_TRUE(isTimestamp(path.substr(prefix.size(), 14))) << path;
    EXPECT_EQ(path.substr(prefix.size() + 14), ".csv");
    EXPECT_FALSE(fs::exists(dir_ / "runs"));  // only the name is made here
}

TEST_F(OutputFilePath, KeepsAGivenExtensionWithoutTimestamp) {
    EXPECT_EQ(makeOutputFilePath("runs", "tof.txt", ".csv", "_ch1", base_, "tof"),
              base_ + kSep + "runs/tof_ch1.txt");
    const std::string absolute = kRoot + "abs" + kSep + "runs";
    EXPECT_EQ(makeOutputFilePath(absolute.c_str(), "tof.txt", ".csv", "", base_, "tof"), absolute + "/tof.txt");
}

TEST_F(OutputFilePath, FallsBackToOutputFolderAndDefaultName) {
    for (const char* empty : {static_cast<const char*>(nullptr), ""}) {
        const std::string path = makeOutputFilePath(empty, empty, ".csv", "_ch1", base_, "cps");
        const std::string prefix = base_ + kSep + "output/cps_ch1_";
        EXPECT_EQ(path.substr(0, prefix.size()), prefix);
        EXPECT_EQ(path.size(), prefix.size() + 14 + 4) << path;
    }
}

TEST_F(OutputFilePath, NoNameAndNoDefaultGivesEmptyPath) {
    EXPECT_EQ(makeOutputFilePath("runs", nullptr, ".csv", "_ch1", "/data", ""), "");
    EXPECT_EQ(makeOutputFilePath("runs", "", ".csv", "", "/data", ""), "");
}

TEST_F(OutputFilePath, RelativeFolderWithEmptyBaseIsUnderTheWorkingDirectory) {
    EXPECT_EQ(makeOutputFilePath("runs", "a.csv", ".csv", "", "", "x"),
              (fs::current_path() / "runs").string() + "/a.csv");
}

TEST(StringUtils, NullTextsAreEmpty) {
    EXPECT_EQ(ksq::CStringUtils::safe_string(nullptr), "");
    EXPECT_EQ(ksq::CStringUtils::safe_string("a\xC3\xA4"), "a\xC3\xA4");
    EXPECT_TRUE(ksq::CStringUtils::isEmpty(nullptr));
    EXPECT_TRUE(ksq::CStringUtils::isEmpty(""));
    EXPECT_FALSE(ksq::CStringUtils::isEmpty(" "));
}
