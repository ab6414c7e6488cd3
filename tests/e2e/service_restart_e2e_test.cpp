// The real simulator killed in the middle of a session and started again on
// the same port. A session's connection is opened once and never again, so
// its calls fail from the kill on, with the failure value and an error line,
// and keep failing after the service is back; a session created after the
// restart works. The test process carries on throughout.

#include "support/sim_session.h"

#include <veltranoapi/veltranoapi.h>

#include <gtest/gtest.h>

#if defined(_WIN32)

// Wine hands out no wait status for the Linux simulator.
TEST(ServiceRestartE2e, CallsFailFromTheKillOnAndANewSessionWorksAfterTheRestart) {
    GTEST_SKIP() << "not on Windows: kills the simulator with SIGKILL";
}

#else

#include <signal.h>
#include <sys/wait.h>

#include <string>

namespace {

class ServiceRestartE2e : public veltest::SimSessionTest {
protected:
    ServiceRestartE2e() : SimSessionTest("", true) {}

    // SIGKILL: the service gets no chance to close anything itself.
    void killService() {
        ASSERT_EQ(::kill(sim().process().pid(), SIGKILL), 0);
        const int status = sim().stop();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    }

    void restartServiceOnTheSamePort() {
        const int port = sim().port();
        try {
            sim().restart();
        } catch (const std::exception& e) {
            FAIL() << e.what();
        }
        EXPECT_EQ(sim().port(), port);
    }
};

TEST_F(ServiceRestartE2e, CallsFailFromTheKillOnAndANewSessionWorksAfterTheRestart) {
    const int channels = ci_get_channel_num(handle);
    ASSERT_GT(channels, 0);
    log.expectErrorContaining("Generic json call returned int value exception: ");
    log.expectErrorContaining("Generic json call exception: ");
    log.expectErrorContaining("Generic json call with f64 value exception: ");

    killService();
    EXPECT_EQ(ci_get_channel_num(handle), -1);
    EXPECT_EQ(ci_set_dac(handle, 1, 0.1), -1);
    double threshold = 42.0;
    EXPECT_EQ(ci_get_dac(handle, 1, &threshold), -1);
    EXPECT_EQ(threshold, 42.0);

    restartServiceOnTheSamePort();
    EXPECT_EQ(ci_get_channel_num(handle), -1);  // the old connection is not reopened

    const uint64_t fresh = openSession();
    ASSERT_NE(fresh, 0u);
    EXPECT_EQ(ci_get_channel_num(fresh), channels);
    EXPECT_EQ(ci_set_dac(fresh, 1, 0.1), 0);
    ci_destroy(fresh);

    const std::string logged = log.written();
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
    ci_destroy(handle);
    EXPECT_EQ(ci_get_channel_num(handle), -1);
    EXPECT_GT(ci_get_channel_num(fresh), 0);
    ci_cleanup();
    EXPECT_EQ(ci_get_channel_num(fresh), -1);
}

}  // namespace

#endif  // _WIN32
