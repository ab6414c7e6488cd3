#include "support/sim_process.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

// The POSIX SimProcess; the Windows one is sim_process_win.cpp.
#if !defined(_WIN32)

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace veltest {
namespace {

constexpr int kStartTimeoutMs = 10'000;
constexpr auto kTermGrace = std::chrono::seconds(5);

// Reads up to the first line feed, giving up after the start time-out.
std::string readFirstLine(int fd) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) throw std::runtime_error("simulator printed no port within 10 s");
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw std::runtime_error("simulator ended before printing its port: \"" + line + "\"");
        if (c == '\n') return line;
        line.push_back(c);
    }
}

}  // namespace

SimProcess::SimProcess(const std::string& executable, const std::vector<std::string>& extra_args,
                       unsigned long long seed) {
    std::vector<std::string> args{executable, "--port", "0", "--seed", std::to_string(seed)};
    args.insert(args.end(), extra_args.begin(), extra_args.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const int rc = ::posix_spawn(&pid_, executable.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        pid_ = -1;
        throw std::runtime_error("cannot start " + executable + ": " + std::strerror(rc));
    }
    try {
        port_ = portFromSimulatorLine(readFirstLine(out[0]));
    } catch (...) {
        ::close(out[0]);
        stop();
        throw;
    }
    // The simulator prints nothing after its first line.
    ::close(out[0]);
}

SimProcess::~SimProcess() { stop(); }

int SimProcess::stop() {
    if (pid_ <= 0) return -1;
    const pid_t pid = pid_;
    pid_ = -1;
    ::kill(pid, SIGTERM);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + kTermGrace;
    while (std::chrono::steady_clock::now() < deadline) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return status;
        if (done < 0 && errno != EINTR) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

}  // namespace veltest

#endif  // !_WIN32

namespace veltest {

int portFromSimulatorLine(const std::string& line) {
    const auto colon = line.rfind(':');
    const std::string digits = colon == std::string::npos ? "" : line.substr(colon + 1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 5) {
        throw std::runtime_error("simulator's first line does not end in a port: \"" + line + "\"");
    }
    return std::stoi(digits);
}

std::string writeLibraryConfig(const std::string& directory, int port) {
    std::filesystem::create_directories(directory);
    const std::filesystem::path path = std::filesystem::path(directory) / "veltranoapi.ini";
    std::ofstream out(path, std::ios::trunc);
    out << libraryConfigText(port);
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
    return path.string();
}

}  // namespace veltest
