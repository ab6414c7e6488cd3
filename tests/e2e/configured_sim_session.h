#pragma once
// A library session on a simulator started with a configuration of the
// scenario's own (the simulator's INI text), for scenarios the default
// instrument cannot show. Skipped when VELTRANO_E2E_PORT names an external
// service, whose configuration the scenario cannot choose.

#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <veltranoapi/veltranoapi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace veltest {

class ConfiguredSimSessionTest : public ::testing::Test {
protected:
    explicit ConfiguredSimSessionTest(std::string simConfig) : simConfig_(std::move(simConfig)) {}

    void SetUp() override {
        if (std::getenv("VELTRANO_E2E_PORT") != nullptr) {
            GTEST_SKIP() << "needs a simulator started with its own configuration";
        }
        const auto configFile = writeTextFile(dir_.path() / "sim.ini", simConfig_);
        try {
            sim_ = std::make_unique<vtest::SimProcess>(VELTRANO_SIM_EXECUTABLE,
                                                       std::vector<std::string>{"--config", configFile.string()});
        } catch (const std::exception& e) {
            FAIL() << e.what();
        }
        const std::string config = vtest::writeLibraryConfig((dir_.path() / "library").string(), sim_->port());
        handle = ci_create(config.c_str(), baseDir().c_str());
        ASSERT_NE(handle, 0u);
    }

    void TearDown() override { ci_destroy(handle); }

    uint64_t handle = 0;

private:
    // One base directory for the whole process: the library's log stays in it.
    static const std::string& baseDir() {
        static const TempDir dir;
        static const std::string text = dir.str();
        return text;
    }

    std::string simConfig_;
    TempDir dir_;
    std::unique_ptr<vtest::SimProcess> sim_;
};

}  // namespace veltest
