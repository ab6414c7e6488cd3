// SimProcess for the Windows test programs, which run under wine against the
// native Linux simulator. Wine starts a Linux program given by its Z: path
// like any other, but hands back no process handle for it that can be waited
// for, and connects no pipes to it. So a shell started that way writes its
// process id to a file and execs the simulator with stdout redirected to
// another file; the port is read from that file, and the process is ended with
// kill and watched through /proc (both reached through the Z: drive). Its
// stderr goes to a third file: a Linux process started by wine inherits the
// Unix stderr of the test program, which is CTest's pipe, and a simulator
// left behind by a crashed test would keep CTest waiting for that pipe.
#if defined(_WIN32)

#include "support/sim_process.h"

#include <windows.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace veltest {
namespace {

constexpr auto kStartTimeout = std::chrono::seconds(10);
constexpr auto kTermGrace = std::chrono::seconds(5);
constexpr auto kPollPause = std::chrono::milliseconds(10);

// A Unix path as wine's Z: drive shows it.
std::filesystem::path onZDrive(const std::string& unixPath) {
    std::string windows = "Z:" + unixPath;
    for (char& c : windows) {
        if (c == '/') c = '\\';
    }
    return std::filesystem::path(windows);
}

// A Windows path given to the simulator as it is seen on the Unix side;
// other words unchanged. Wine's kernel32 has the conversion.
std::string unixWord(const std::string& word) {
    const bool drivePath = word.size() > 2 && std::isalpha(static_cast<unsigned char>(word[0])) && word[1] == ':' &&
                           (word[2] == '\\' || word[2] == '/');
    if (!drivePath) return word;
    using ToUnix = char*(__cdecl*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == nullptr) return word;
    char* converted = toUnix(std::filesystem::path(word).wstring().c_str());
    if (converted == nullptr) return word;
    std::string unixPath = converted;
    HeapFree(GetProcessHeap(), 0, converted);
    return unixPath;
}

std::string quoted(const std::string& word) {
    std::string text = "'";
    for (char c : word) {
        if (c == '\'') {
            text += "'\\''";
        } else {
            text += c;
        }
    }
    return text + "'";
}

// Runs `sh -c command` on the Unix side without waiting for it; the command
// must not contain double quotes.
void startShell(const std::string& command) {
    std::wstring line = L"Z:\\bin\\sh -c \"";
    line += std::filesystem::path(command).wstring();
    line += L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        throw std::runtime_error("cannot start /bin/sh through wine: error " + std::to_string(GetLastError()));
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

std::string firstLineOf(const std::filesystem::path& file, bool& complete) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    complete = static_cast<bool>(std::getline(in, line)) && !in.eof();
    return line;
}

// True while the process exists and has not ended (a zombie has ended).
bool isRunning(int pid) {
    std::ifstream stat(onZDrive("/proc/" + std::to_string(pid) + "/stat"));
    std::string content;
    if (!std::getline(stat, content)) {
        return false;
    }
    const auto close = content.rfind(')');
    return close == std::string::npos || close + 2 >= content.size() || content[close + 2] != 'Z';
}


}  // namespace

SimProcess::SimProcess(const std::string& executable, const std::vector<std::string>& extra_args,
                       unsigned long long seed) {
    static std::atomic<int> counter{0};
    const std::string stem = "/tmp/veltrano-sim-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(counter++);
    const std::string pidFile = stem + ".pid";
    const std::string outFile = stem + ".out";
    const std::string errFile = stem + ".err";
    std::string command = "echo $$ > " + quoted(pidFile) + "; exec " + quoted(executable) + " --port 0 --seed " +
                          std::to_string(seed);
    for (const std::string& arg : extra_args) {
        command += ' ';
        command += quoted(unixWord(arg));
    }
    command += " > " + quoted(outFile) + " 2> " + quoted(errFile);
    startShell(command);

    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    bool complete = false;
    std::string line;
    while (std::chrono::steady_clock::now() < deadline) {
        if (pid_ <= 0) {
            bool pidComplete = false;
            const std::string pidText = firstLineOf(onZDrive(pidFile), pidComplete);
            if (pidComplete) pid_ = std::stoi(pidText);
        }
        line = firstLineOf(onZDrive(outFile), complete);
        if (complete) break;
        if (pid_ > 0 && !isRunning(pid_)) break;
        std::this_thread::sleep_for(kPollPause);
    }
    bool errComplete = false;
    const std::string errLine = firstLineOf(onZDrive(errFile), errComplete);
    std::error_code ignored;
    for (const std::string& file : {pidFile, outFile, errFile}) {
        std::filesystem::remove(onZDrive(file), ignored);
    }
    try {
        if (!complete) {
            throw std::runtime_error("simulator printed no port within 10 s: \"" + line + "\" (stderr: \"" + errLine +
                                     "\")");
        }
        port_ = portFromSimulatorLine(line);
    } catch (...) {
        stop();
        throw;
    }
}

SimProcess::~SimProcess() { stop(); }

// Wine gives no wait status for a Linux process: 0 stands for "ended after
// SIGTERM", SIGKILL's number for "had to be killed".
int SimProcess::stop() {
    if (pid_ <= 0) return -1;
    const int pid = pid_;
    pid_ = -1;
    startShell("kill -TERM " + std::to_string(pid));
    const auto deadline = std::chrono::steady_clock::now() + kTermGrace;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!isRunning(pid)) return 0;
        std::this_thread::sleep_for(kPollPause);
    }
    startShell("kill -KILL " + std::to_string(pid));
    while (isRunning(pid)) {
        std::this_thread::sleep_for(kPollPause);
    }
    return 9;
}

}  // namespace veltest

#endif  // _WIN32
