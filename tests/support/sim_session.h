#pragma once
// A test with one library session on a freshly started simulator, for
// end-to-end scenarios: the default instrument, or one configured with the
// scenario's own INI text. The simulator runs on a free port with a fixed seed
// and ends with the test.
//
// With VELTRANO_E2E_PORT set, scenarios on the default instrument use the
// service already listening on that port of 127.0.0.1 instead (its state then
// carries over between tests); scenarios that need a simulator of their own
// (a configuration, a kill) are skipped, since they cannot choose or end that
// service.
//
// The test fails when the library's log file gained an error or critical line
// during it that the test did not declare (log.expectError...).

#include "support/expected_errors.h"
#include "support/sim_service.h"
#include "support/temp_dir.h"

#include <veltranoapi/veltranoapi.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace veltest {

// The error lines the library writes to its log file (log/veltranoapi.log
// under the sessions' base directory) from this object's construction on.
class LogFileCheck : public ExpectedErrors {
public:
    LogFileCheck() : from_(readTextFile(file()).size()) {}

    // What the log file gained since; after a rotation (the file shrank), all of it.
    std::string written() const {
        const std::string text = readTextFile(file());
        return text.size() >= from_ ? text.substr(from_) : text;
    }

    // Fails the current test on the error lines no declaration covers.
    void check() const {
        std::istringstream added(written());
        std::vector<std::string> errors;
        std::string line;
        while (std::getline(added, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            for (const char* level : {"] [error] ", "] [critical] "}) {
                if (const auto at = line.find(level); at != std::string::npos) {
                    errors.push_back(line.substr(at + std::string(level).size()));
                }
            }
        }
        failOnUnexpected(errors);
    }

private:
    static std::filesystem::path file() {
        return std::filesystem::path(SimService::baseDir()) / "log" / "veltranoapi.log";
    }

    std::size_t from_;
};

class SimSessionTest : public ::testing::Test {
protected:
    // simConfig: the simulator's INI text, empty for the default instrument;
    // ownSimulator: the scenario acts on the simulator itself (sim()).
    explicit SimSessionTest(std::string simConfig = "", bool ownSimulator = false)
        : simConfig_(std::move(simConfig)), ownSimulator_(ownSimulator || !simConfig_.empty()) {}

    void SetUp() override {
        const char* external = std::getenv("VELTRANO_E2E_PORT");
        if (external != nullptr && ownSimulator_) {
            GTEST_SKIP() << "needs a simulator started for the scenario";
        }
        if (external != nullptr) {
            port_ = std::atoi(external);
            libraryConfig_ = writeLibraryConfig((dir_.path() / "library").string(), port_);
        } else {
            try {
                sim_ = std::make_unique<SimService>(simConfig_);
            } catch (const std::exception& e) {
                FAIL() << e.what();
            }
            port_ = sim_->port();
        }
        handle = openSession();
        ASSERT_NE(handle, 0u);
    }

    void TearDown() override {
        ci_destroy(handle);
        log.check();
    }

    // Another session on the same service; 0 when it cannot connect.
    uint64_t openSession() const {
        return sim_ ? sim_->open() : ci_create(libraryConfig_.c_str(), SimService::baseDir().c_str());
    }
    int port() const { return port_; }
    // A folder of this test's own.
    const std::filesystem::path& dir() const { return dir_.path(); }
    // The simulator started for the scenario (with ownSimulator only).
    SimService& sim() { return *sim_; }

    uint64_t handle = 0;
    LogFileCheck log;

private:
    std::string simConfig_;
    bool ownSimulator_;
    TempDir dir_;
    std::unique_ptr<SimService> sim_;
    int port_ = 0;
    std::string libraryConfig_;
};

// Hands each block of a memory-mode raw acquisition to onBlock(block, size),
// in order, until the library's thread has given up after the run: with a
// long time-out, null means every byte it received has been handed over.
template <class OnBlock>
void forEachRawBlock(uint64_t handle, OnBlock onBlock) {
    int size = 0;
    while (char* block = ci_fetch_rawdata(handle, &size, 60000)) {
        onBlock(static_cast<const char*>(block), size);
        ci_free_char_data(block);
    }
}

// The whole stream of a memory-mode raw acquisition, as forEachRawBlock takes it.
inline std::string fetchRawStream(uint64_t handle) {
    std::string stream;
    forEachRawBlock(handle, [&](const char* block, int size) { stream.append(block, static_cast<size_t>(size)); });
    return stream;
}

}  // namespace veltest
