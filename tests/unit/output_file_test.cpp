// Preparing a measurement's output file for a session.

#include "api/output_file.h"
#include "support/service_session.h"

#include <regex>

namespace {

using OutputFile = veltest::ServiceSessionTest;
using veltest::readTextFile;

TEST_F(OutputFile, IsCreatedUnderTheBaseDirectoryWithItsHeaderLine) {
    const std::string path = vel::createOutputFile(handle, "runs", "tof", "_ch1", ".csv", "tof", "time(ps),counts");
    EXPECT_TRUE(std::regex_match(path, std::regex(dir.str() + "/runs/tof_ch1_[0-9]{14}\\.csv"))) << path;
    EXPECT_EQ(readTextFile(path), "time(ps),counts\n");
}

TEST_F(OutputFile, DefaultsToTheOutputFolderAndTheDefaultName) {
    const std::string path = vel::createOutputFile(handle, nullptr, nullptr, "_ch1", ".csv", "cps", nullptr);
    EXPECT_TRUE(std::regex_match(path, std::regex(dir.str() + "/output/cps_ch1_[0-9]{14}\\.csv"))) << path;
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(readTextFile(path), "");
}

TEST_F(OutputFile, KeepsAGivenExtensionAndTruncatesAnEarlierFile) {
    const auto target = dir.path() / "runs" / "tof_ch1.txt";
    veltest::writeTextFile(target, "old rows\n");
    EXPECT_EQ(vel::createOutputFile(handle, "runs", "tof.txt", "_ch1", ".csv", "tof", "h"), target.string());
    EXPECT_EQ(readTextFile(target), "h\n");
}

TEST_F(OutputFile, NeedsANameAndAKnownSession) {
    EXPECT_EQ(vel::createOutputFile(handle, "runs", "", "_x", ".csv", "", "h"), "");
    EXPECT_EQ(vel::createOutputFile(handle + 99, "runs", "tof", "_x", ".csv", "tof", "h"), "");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "runs"));
    EXPECT_TRUE(log.lines().empty());
}

}  // namespace
