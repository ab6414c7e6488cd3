// The library log: caller lines, the file it goes to, rotation, and version.

#include "core/nlogger.h"
#include "support/service_session.h"

#include <spdlog/sinks/rotating_file_sink.h>

namespace {

using veltest::readTextFile;
using veltest::TempDir;

using CallerLogging = veltest::ServiceSessionTest;

TEST_F(CallerLogging, WritesTextVerbatimAtEachLevel) {
    ci_info(handle, "{} and %d stay as written {0}");
    ci_warn(handle, "w");
    ci_error(handle, "e");
    ci_critical(handle, "c");
    ci_info(handle, nullptr);
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].text, "{} and %d stay as written {0}");
    EXPECT_EQ(lines[0].level, spdlog::level::info);
    EXPECT_EQ(lines[1].level, spdlog::level::warn);
    EXPECT_EQ(lines[2].level, spdlog::level::err);
    EXPECT_EQ(lines[3].level, spdlog::level::critical);
    EXPECT_EQ(lines[4].text, "");
}

TEST_F(CallerLogging, UnknownHandlesLogNothing) {
    ci_info(0, "zero");
    ci_error(handle + 100, "unknown");
    ci_destroy(handle);
    ci_critical(handle, "destroyed");
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(CallerLogging, LinesReachTheFileOfTheFirstLoggingSessionBeforeTheCallReturns) {
    // The logger's directory was fixed by the first user in this process; a
    // session with another base directory writes into that same file.
    auto logger = NLogger::getLogger(dir.str(), NLogger::kMaxFileSize, NLogger::kMaxFiles);
    ASSERT_TRUE(logger);
    auto* sink = dynamic_cast<spdlog::sinks::rotating_file_sink_mt*>(logger->sinks().front().get());
    ASSERT_NE(sink, nullptr);
    const std::filesystem::path file = sink->filename();
    EXPECT_EQ(file.filename(), "veltranoapi.log");
    EXPECT_EQ(file.parent_path().filename(), "log");
    const std::string marker = "marker " + dir.str();
    ci_info(handle, marker.c_str());
    const std::string content = readTextFile(file);
    const auto at = content.find(marker);
    ASSERT_NE(at, std::string::npos);
    EXPECT_NE(content.rfind("[veltranoapi] [info] ", at), std::string::npos);
}

TEST(LogRotation, KeepsTheOldContentInTheFirstRotatedFile) {
    // The rotation scheme of the library's sink: at 1 MiB the log moves to
    // veltranoapi.1.log and a new veltranoapi.log starts.
    TempDir dir;
    const auto file = dir.path() / "veltranoapi.log";
    auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(file.native(), NLogger::kMaxFileSize,
                                                                       NLogger::kMaxFiles, false);
    spdlog::logger logger("rotation", sink);
    const std::string line(1000, 'a');
    for (int i = 0; i < 1100; ++i) {
        logger.info(line);
    }
    logger.info("after rotation");
    logger.flush();
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "veltranoapi.1.log"));
    EXPECT_NE(readTextFile(file).find("after rotation"), std::string::npos);
    EXPECT_LE(std::filesystem::file_size(dir.path() / "veltranoapi.1.log"), 1048576u);
}

TEST(SoftwareVersion, IsCopiedByTheTextRuleAndAlwaysReturnsZero) {
    char buffer[8];
    EXPECT_EQ(ci_get_sw_version(0, buffer, 7), 0);
    EXPECT_STREQ(buffer, "V1.4.0");
    EXPECT_EQ(ci_get_sw_version(12345, buffer, 3), 0);
    EXPECT_STREQ(buffer, "V1");
    buffer[0] = 'x';
    EXPECT_EQ(ci_get_sw_version(0, buffer, 0), 0);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(ci_get_sw_version(0, nullptr, 8), 0);
}

}  // namespace
