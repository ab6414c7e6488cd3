#pragma once
// A library session on a freshly started simulator, for end-to-end scenarios.
// The simulator runs on a free port with a fixed seed and ends with the test.
// With VELTRANO_E2E_PORT set, the scenarios use the service already listening
// on that port of 127.0.0.1 instead (its state then carries over between tests).

#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <veltranoapi/veltranoapi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace veltest {

class SimSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        int port = 0;
        if (const char* given = std::getenv("VELTRANO_E2E_PORT")) {
            port = std::atoi(given);
        } else {
            try {
                sim_ = std::make_unique<vtest::SimProcess>(VELTRANO_SIM_EXECUTABLE);
            } catch (const std::exception& e) {
                FAIL() << e.what();
            }
            port = sim_->port();
        }
        config_ = vtest::writeLibraryConfig(dir_.str(), port);
        handle = openSession();
        ASSERT_NE(handle, 0u);
    }

    void TearDown() override { ci_destroy(handle); }

    // Another session on the same service; 0 when it cannot connect.
    uint64_t openSession() const { return ci_create(config_.c_str(), baseDir().c_str()); }

    uint64_t handle = 0;

private:
    // One base directory for the whole process: the library's log stays in it.
    static const std::string& baseDir() {
        static const TempDir dir;
        static const std::string text = dir.str();
        return text;
    }

    TempDir dir_;
    std::unique_ptr<vtest::SimProcess> sim_;
    std::string config_;
};

}  // namespace veltest
