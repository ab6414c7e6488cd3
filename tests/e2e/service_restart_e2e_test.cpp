// The real simulator killed in the middle of a session and started again on
// the same port. A session's connection is opened once and never again, so
// its calls fail from the kill on, with the failure value and an error line,
// and keep failing after the service is back; a session created after the
// restart works. The test process carries on throughout.

#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <veltranoapi/veltranoapi.h>

#include <gtest/gtest.h>

#if defined(_WIN32)

// Wine hands out no wait status for the Linux simulator, and the log file is
// found through /proc/self/fd.
TEST(ServiceRestartE2e, CallsFailFromTheKillOnAndANewSessionWorksAfterTheRestart) {
    GTEST_SKIP() << "not on Windows: kills the simulator with SIGKILL and reads /proc/self/fd";
}

#else

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace {

// The library's log file, found among the descriptors the process holds open
// (its directory is that of whichever session logged first).
std::string openLogFile() {
    std::string found;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(dir)) {
            char target[4096];
            const std::string link = std::string("/proc/self/fd/") + entry->d_name;
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            if (n > 0) {
                const std::string path(target, static_cast<size_t>(n));
                const std::string name = "veltranoapi.log";
                if (path.size() >= name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0) {
                    found = path;
                }
            }
        }
        ::closedir(dir);
    }
    return found;
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ServiceRestartE2e : public ::testing::Test {
protected:
    void SetUp() override {
        try {
            sim_ = std::make_unique<vtest::SimProcess>(VELTRANO_SIM_EXECUTABLE);
        } catch (const std::exception& e) {
            FAIL() << e.what();
        }
        port_ = sim_->port();
        config_ = vtest::writeLibraryConfig(dir_.str(), port_);
        handle_ = openSession();
        ASSERT_NE(handle_, 0u);
    }
    void TearDown() override { ci_destroy(handle_); }

    uint64_t openSession() const { return ci_create(config_.c_str(), dir_.str().c_str()); }

    // SIGKILL: the service gets no chance to close anything itself.
    void killService() {
        ASSERT_EQ(::kill(sim_->pid(), SIGKILL), 0);
        const int status = sim_->stop();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    }

    void restartServiceOnTheSamePort() {
        try {
            sim_ = std::make_unique<vtest::SimProcess>(VELTRANO_SIM_EXECUTABLE,
                                                       std::vector<std::string>{"--port", std::to_string(port_)});
        } catch (const std::exception& e) {
            FAIL() << e.what();
        }
        EXPECT_EQ(sim_->port(), port_);
    }

    uint64_t handle_ = 0;

private:
    veltest::TempDir dir_;
    std::unique_ptr<vtest::SimProcess> sim_;
    int port_ = 0;
    std::string config_;
};

TEST_F(ServiceRestartE2e, CallsFailFromTheKillOnAndANewSessionWorksAfterTheRestart) {
    const int channels = ci_get_channel_num(handle_);
    ASSERT_GT(channels, 0);
    ci_info(handle_, "service restart scenario begins");
    const std::string logPath = openLogFile();
    ASSERT_FALSE(logPath.empty());
    const size_t logBefore = fileText(logPath).size();

    killService();
    EXPECT_EQ(ci_get_channel_num(handle_), -1);
    EXPECT_EQ(ci_set_dac(handle_, 1, 0.1), -1);
    double threshold = 42.0;
    EXPECT_EQ(ci_get_dac(handle_, 1, &threshold), -1);
    EXPECT_EQ(threshold, 42.0);

    restartServiceOnTheSamePort();
    EXPECT_EQ(ci_get_channel_num(handle_), -1);  // the old connection is not reopened

    const uint64_t fresh = openSession();
    ASSERT_NE(fresh, 0u);
    EXPECT_EQ(ci_get_channel_num(fresh), channels);
    EXPECT_EQ(ci_set_dac(fresh, 1, 0.1), 0);
    ci_destroy(fresh);

    const std::string logged = fileText(logPath).substr(logBefore);
    EXPECT_NE(logged.find("Generic json call returned int value exception: Failed to read response"),
              std::string::npos)
        << logged;
    EXPECT_NE(logged.find("Generic json call exception: "), std::string::npos) << logged;
    EXPECT_NE(logged.find("Generic json call with f64 value exception: "), std::string::npos) << logged;
}

TEST_F(ServiceRestartE2e, DestroyingTheOrphanedSessionAndCleaningUpAfterTheRestartAreHarmless) {
    killService();
    restartServiceOnTheSamePort();
    const uint64_t fresh = openSession();
    ASSERT_NE(fresh, 0u);
    ci_destroy(handle_);
    EXPECT_EQ(ci_get_channel_num(handle_), -1);
    EXPECT_GT(ci_get_channel_num(fresh), 0);
    ci_cleanup();
    EXPECT_EQ(ci_get_channel_num(fresh), -1);
}

}  // namespace

#endif  // _WIN32
