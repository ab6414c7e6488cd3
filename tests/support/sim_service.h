#pragma once
// The simulator started for a test, and what a library session needs to reach
// it. It runs with the instrument's default configuration, or with the INI
// text given, plus any further options; it ends with this object. Sessions
// opened on it (open()) use one base directory for the whole process, so the
// library's log stays in one place; dir() is a folder of this simulator's own
// for a test's files.

#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <veltranoapi/veltranoapi.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace veltest {

class SimService {
public:
    explicit SimService(const std::string& simConfig = "", std::vector<std::string> options = {})
        : options_(std::move(options)) {
        if (!simConfig.empty()) {
            const auto configFile = writeTextFile(dir_.path() / "sim.ini", simConfig);
            options_.insert(options_.begin(), {"--config", configFile.string()});
        }
        process_ = std::make_unique<SimProcess>(VELTRANO_SIM_EXECUTABLE, options_);
        libraryConfig_ = writeLibraryConfig((dir_.path() / "library").string(), process_->port());
    }

    // A new session on the simulator; 0 when it cannot be opened.
    uint64_t open() const { return ci_create(libraryConfig_.c_str(), baseDir().c_str()); }
    int port() const { return process_->port(); }
    const std::filesystem::path& dir() const { return dir_.path(); }
    SimProcess& process() { return *process_; }

    // Ends the simulator now, as if the service went away; returns its wait
    // status as SimProcess::stop does.
    int stop() { return process_->stop(); }
    // Starts the simulator again on the same port, with the same
    // configuration (ending it first if it still runs).
    void restart() {
        std::vector<std::string> options = options_;
        options.insert(options.end(), {"--port", std::to_string(port())});
        process_->stop();
        process_ = std::make_unique<SimProcess>(VELTRANO_SIM_EXECUTABLE, options);
    }

    // The base directory of every session the tests open in this process.
    static const std::string& baseDir() {
        static const TempDir dir;
        static const std::string text = dir.str();
        return text;
    }

private:
    TempDir dir_;
    std::vector<std::string> options_;
    std::unique_ptr<SimProcess> process_;
    std::string libraryConfig_;
};

}  // namespace veltest
