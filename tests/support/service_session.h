#pragma once
// A library session opened on a scripted fake service, for protocol tests.

#include "api/session_registry.h"
#include "support/fake_service.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

#include <veltranoapi/veltranoapi.h>

#include <gtest/gtest.h>

namespace veltest {

class ServiceSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        handle = ci_create(service.writeConfig(dir.path()).string().c_str(), dir.str().c_str());
        ASSERT_NE(handle, 0u);
        log.clear();
    }
    void TearDown() override { ci_destroy(handle); }

    // The session's parts, for tests of the features below the exports.
    InstInstance& session() const { return *vel::SessionRegistry::lookup(handle); }
    vel::SessionContext& context() const { return session().context; }

    // The exact bytes of the only request sent so far.
    std::string onlyRequest() const {
        auto all = service.requests();
        return all.size() == 1 ? all.front() : "<" + std::to_string(all.size()) + " requests>";
    }

    TempDir dir;
    FakeService service;
    LogCapture log;
    uint64_t handle = 0;
};

}  // namespace veltest
