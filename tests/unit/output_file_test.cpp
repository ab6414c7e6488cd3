// Preparing a measurement's output file for a session.

#include "core/output_file.h"
#include "support/service_session.h"

#include <regex>

namespace {

using OutputFile = veltest::ServiceSessionTest;
using veltest::readTextFile;

// path is folder, compared as it is (a Windows folder is full of backslashes),
// followed by text matching pattern.
bool isInFolder(const std::string& path, const std::filesystem::path& folder, const std::string& pattern) {
    const std::string prefix = folder.string();
    return path.compare(0, prefix.size(), prefix) == 0 &&
           std::regex_match(path.substr(prefix.size()), std::regex(pattern));
}

TEST_F(OutputFile, IsCreatedUnderTheBaseDirectoryWithItsHeaderLine) {
    const std::string path = vel::createOutputFile(context(), "runs", "tof", "_ch1", ".csv", "tof", "time(ps),counts");
    EXPECT_TRUE(isInFolder(path, dir.path() / "runs", "/tof_ch1_[0-9]{14}\\.csv")) << path;
    EXPECT_EQ(readTextFile(path), "time(ps),counts\n");
}

TEST_F(OutputFile, DefaultsToTheOutputFolderAndTheDefaultName) {
    const std::string path = vel::createOutputFile(context(), nullptr, nullptr, "_ch1", ".csv", "cps", nullptr);
    EXPECT_TRUE(isInFolder(path, dir.path() / "output", "/cps_ch1_[0-9]{14}\\.csv")) << path;
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(readTextFile(path), "");
}

TEST_F(OutputFile, KeepsAGivenExtensionAndTruncatesAnEarlierFile) {
    // The name is joined to the folder with a slash, whatever the folder's separators.
    const std::string target = (dir.path() / "runs").string() + "/tof_ch1.txt";
    veltest::writeTextFile(target, "old rows\n");
    EXPECT_EQ(vel::createOutputFile(context(), "runs", "tof.txt", "_ch1", ".csv", "tof", "h"), target);
    EXPECT_EQ(readTextFile(target), "h\n");
}

TEST_F(OutputFile, NeedsAName) {
    EXPECT_EQ(vel::createOutputFile(context(), "runs", "", "_x", ".csv", "", "h"), "");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "runs"));
    EXPECT_TRUE(log.lines().empty());
}

}  // namespace
