#pragma once
// A scripted stand-in for the instrument service, inside the test process. It
// listens on 127.0.0.1 (a free port), records the exact bytes of every request
// line and answers each with the next scripted action; with the script empty it
// answers {"result":0}. Misbehaviour is scriptable: raw bytes, CRLF, truncated
// frames, closing the connection, silence until the service is destroyed.

#include <nlohmann/json.hpp>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace veltest {

class FakeService {
public:
    FakeService();
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    int port() const { return port_; }

    // Writes an INI file pointing at this service into dir; returns its path.
    std::filesystem::path writeConfig(const std::filesystem::path& dir) const;

    // Script for the next requests, in order.
    void reply(std::string bytes);             // send these bytes
    void replyJson(const nlohmann::json& j);   // compact JSON and a line feed
    void replyBinary(const std::string& payload);  // 4-byte big-endian length + payload
    void replyThenClose(std::string bytes);    // send the bytes, then close the connection
    void closeOnRequest();                     // close without answering
    void silence();                            // never answer (until destruction)

    // Every request line received so far, line feed included.
    std::vector<std::string> requests() const;
    // The last request parsed as JSON.
    nlohmann::json lastRequest() const;
    // Blocks until at least n requests have arrived (or the service stops).
    void waitForRequests(size_t n) const;
    size_t connectionCount() const;

    // Ends every connection (ending silences too) and stops accepting.
    void stop();

    // Big-endian length header for a payload of n bytes.
    static std::string lengthHeader(uint32_t n);

private:
    enum class Action { Send, SendThenClose, Close, Silence };
    struct Step {
        Action action;
        std::string bytes;
    };

    void acceptLoop();
    void serve(int fd);
    Step nextStep();

    int listenFd_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<Step> script_;
    std::vector<std::string> requests_;
    std::vector<int> clientFds_;
    std::vector<std::thread> clientThreads_;
    size_t connections_ = 0;
    bool stopping_ = false;
    std::thread acceptThread_;
};

}  // namespace veltest
