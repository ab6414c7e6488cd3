// Session life cycle: configuration, handle issuing, destruction and the
// guarantee that a session outlives every call running on it.

#include "api/service_config.h"
#include "api/session_registry.h"
#include "support/fake_service.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

#include <veltranoapi/veltranoapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using veltest::FakeService;
using veltest::TempDir;
using veltest::writeTextFile;

// A port on which nothing listens: bound and closed again right away.
int closedPort() {
    FakeService probe;
    return probe.port();
}

TEST(ServiceConfig, MissingSectionOrKeysGiveTheDefaults) {
    TempDir dir;
    auto config = vel::readServiceConfig(writeTextFile(dir.path() / "a.ini", "[other]\nx = 1\n").string());
    ASSERT_TRUE(config);
    EXPECT_EQ(config->host, "127.0.0.1");
    EXPECT_EQ(config->port, 6789);
}

TEST(ServiceConfig, PortIsReadInAnyCBase) {
    TempDir dir;
    EXPECT_EQ(
        vel::readServiceConfig(writeTextFile(dir.path() / "h.ini", "[server]\nserver.port = 0x1A85\n").string())->port,
        6789);
    EXPECT_EQ(
        vel::readServiceConfig(writeTextFile(dir.path() / "o.ini", "[server]\nserver.port = 015205\n").string())->port,
        6789);
    EXPECT_EQ(
        vel::readServiceConfig(writeTextFile(dir.path() / "t.ini", "[server]\nserver.port = port\n").string())->port,
        6789);
}

TEST(ServiceConfig, NamesAreCaseInsensitiveAndSyntaxErrorsKeepWhatWasRead) {
    TempDir dir;
    auto config = vel::readServiceConfig(
        writeTextFile(dir.path() / "c.ini", "[SERVER]\nServer.IP = 10.1.2.3\nthis line is broken\nserver.port = 7000\n")
            .string());
    ASSERT_TRUE(config);
    EXPECT_EQ(config->host, "10.1.2.3");
}

TEST(ServiceConfig, UnreadableFileIsAFailure) {
    TempDir dir;
    EXPECT_FALSE(vel::readServiceConfig((dir.path() / "missing.ini").string()));
    EXPECT_FALSE(vel::readServiceConfig(dir.str()));
}

TEST(SessionCreate, HandlesCountUpAndFailuresConsumeNone) {
    TempDir dir;
    FakeService service;
    const std::string config = service.writeConfig(dir.path()).string();
    const uint64_t first = ci_create(config.c_str(), dir.str().c_str());
    ASSERT_NE(first, 0u);
    writeTextFile(dir.path() / "refused.ini", "[server]\nserver.port = " + std::to_string(closedPort()) + "\n");
    EXPECT_EQ(ci_create("refused.ini", dir.str().c_str()), 0u);
    EXPECT_EQ(ci_create("missing.ini", dir.str().c_str()), 0u);
    const uint64_t second = ci_create(config.c_str(), dir.str().c_str());
    EXPECT_EQ(second, first + 1);
    ci_destroy(first);
    ci_destroy(second);
}

TEST(SessionCreate, RelativeConfigIsReadFromTheBaseDirectory) {
    TempDir dir;
    FakeService service;
    service.writeConfig(dir.path());
    const uint64_t handle = ci_create("service.ini", dir.str().c_str());
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(vel::SessionRegistry::lookup(handle)->context.baseDir, dir.str());
    ci_destroy(handle);
}

TEST(SessionCreate, RelativeConfigWithoutBaseIsReadFromTheWorkingDirectory) {
    TempDir dir;
    FakeService service;
    service.writeConfig(dir.path());
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const uint64_t handle = ci_create("service.ini", nullptr);
    std::filesystem::current_path(previous);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(vel::SessionRegistry::lookup(handle)->context.baseDir, dir.str());
    ci_destroy(handle);
}

TEST(SessionCreate, MissingBaseDirectoryIsAcceptedAndNothingIsCreated) {
    TempDir dir;
    FakeService service;
    const std::string config = service.writeConfig(dir.path()).string();
    const auto base = dir.path() / "not" / "yet";
    const uint64_t handle = ci_create(config.c_str(), base.string().c_str());
    ASSERT_NE(handle, 0u);
    EXPECT_FALSE(std::filesystem::exists(base));
    ci_destroy(handle);
}

TEST(SessionCreate, EmptyConfigPathResolvesToTheDirectoryAndFailsWithALogLine) {
    TempDir dir;
    veltest::LogCapture log;
    EXPECT_EQ(ci_create(nullptr, dir.str().c_str()), 0u);
    EXPECT_EQ(ci_create("", dir.str().c_str()), 0u);
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].level, spdlog::level::info);
    EXPECT_EQ(lines[0].text, "Load config file failed");
}

TEST(SessionDestroy, IsIdempotentAndLeavesTheHandleUnknown) {
    TempDir dir;
    FakeService service;
    const uint64_t handle = ci_create(service.writeConfig(dir.path()).string().c_str(), dir.str().c_str());
    ASSERT_NE(handle, 0u);
    ci_destroy(handle);
    ci_destroy(handle);
    ci_destroy(0);
    EXPECT_EQ(ci_connect(handle, 1), -1);
    EXPECT_TRUE(service.requests().empty());
}

TEST(SessionCleanup, ClosesEverySessionAndHandlesContinue) {
    ci_cleanup();  // with nothing registered it does nothing
    TempDir dir;
    FakeService service;
    const std::string config = service.writeConfig(dir.path()).string();
    const uint64_t a = ci_create(config.c_str(), dir.str().c_str());
    const uint64_t b = ci_create(config.c_str(), dir.str().c_str());
    ci_cleanup();
    EXPECT_EQ(ci_disconnect(a), -1);
    EXPECT_EQ(ci_disconnect(b), -1);
    const uint64_t c = ci_create(config.c_str(), dir.str().c_str());
    EXPECT_EQ(c, b + 1);
    ci_destroy(c);
}

TEST(SessionLifetime, DestroyDuringARunningCallWaitsForItsReply) {
    TempDir dir;
    FakeService service;
    service.silence();
    const uint64_t handle = ci_create(service.writeConfig(dir.path()).string().c_str(), dir.str().c_str());
    ASSERT_NE(handle, 0u);
    std::atomic<int> result{42};
    std::thread caller([&] { result = ci_connect(handle, 1); });
    service.waitForRequests(1);
    // The session is removed at once; the running call keeps the object alive
    // and the close waits for its exchange. The exchange only ends when the
    // service goes away.
    std::thread destroyer([&] { ci_destroy(handle); });
    while (vel::SessionRegistry::lookup(handle)) {
        std::this_thread::yield();
    }
    EXPECT_EQ(ci_connect(handle, 1), -1);  // already unknown
    service.stop();
    caller.join();
    destroyer.join();
    EXPECT_EQ(result.load(), -1);
}

TEST(SessionRegistryConcurrency, CreateLookupAndDestroyFromSeveralThreads) {
    TempDir dir;
    FakeService service;
    const std::string config = service.writeConfig(dir.path()).string();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 25; ++i) {
                const uint64_t handle = ci_create(config.c_str(), dir.str().c_str());
                if (handle == 0 || ci_connect(handle, 1) != 0) {
                    ++failures;
                }
                std::thread other([handle] { ci_destroy(handle); });
                ci_info(handle, "racing");
                other.join();
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
