#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace veltest {

// Runs the instrument simulator as a child process for the length of a test.
//
// The constructor starts `executable --port 0 --seed <seed> <extra_args...>`,
// reads the first line the simulator prints on stdout ("... 127.0.0.1:PORT")
// and takes the port from its end, so a test connects only once the simulator
// listens. It throws std::runtime_error when the program cannot be started or
// ends (or stays silent for 10 s) before printing that line. The destructor
// sends SIGTERM and waits for the process, sending SIGKILL after 5 s.
// Only POSIX and the standard library are used, so any test program may link it.
class SimProcess {
public:
    explicit SimProcess(const std::string& executable, const std::vector<std::string>& extra_args = {},
                        unsigned long long seed = 1);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    int port() const { return port_; }
    pid_t pid() const { return pid_; }

    // Ends the simulator as the destructor does and returns its wait status
    // (as from waitpid), or -1 when it was already reaped.
    int stop();

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// The port at the end of the simulator's first line ("... 127.0.0.1:PORT");
// throws std::runtime_error when the line does not end in one.
int portFromSimulatorLine(const std::string& line);

// The library's INI text naming a service on 127.0.0.1:port.
inline std::string libraryConfigText(int port) {
    return "[server]\nserver.ip = 127.0.0.1\nserver.port = " + std::to_string(port) + "\n";
}

// Writes the library's INI file pointing at 127.0.0.1:port into `directory`
// (created when missing) and returns the file's path.
std::string writeLibraryConfig(const std::string& directory, int port);

}  // namespace veltest

// The benchmarks' name for the same namespace.
