#pragma once
// A test with one library session on a simulator started with the scenario's
// own configuration (the simulator's INI text).

#include "reliability/reliability_support.h"

#include <gtest/gtest.h>

#include <string>

namespace veltest {

class SessionOnConfiguredSim : public ::testing::Test {
protected:
    explicit SessionOnConfiguredSim(const std::string& simConfig) : sim(simConfig) {}

    void SetUp() override {
        handle = sim.open();
        ASSERT_NE(handle, 0u);
    }
    void TearDown() override { ci_destroy(handle); }

    ConfiguredSim sim;
    uint64_t handle = 0;
};

}  // namespace veltest
