#pragma once
// A scripted stand-in for the instrument service, inside the test process. It
// listens on 127.0.0.1 (a free port), records the exact bytes of every request
// line and answers each with the next scripted action; with the script empty it
// answers {"result":0}. Misbehaviour is scriptable: raw bytes, CRLF, truncated
// frames, bytes in pieces, closing the connection, silence (on every connection
// or on one), and going away and coming back on the same port.

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
    void silence();                            // never answer (until released or stopped)
    // Each piece in its own send, with a pause before the next, so the client
    // receives the reply in several reads.
    void replyInPieces(std::vector<std::string> pieces);

    // The connection accepted as number index (0 = the first) records its
    // requests but never answers them, while the others follow the script.
    void silenceOn(size_t connectionIndex);
    // Ends every silence so far: the silent connections close, and the client
    // waiting on them sees the peer close.
    void releaseSilences();

    // Every request line received so far, line feed included.
    std::vector<std::string> requests() const;
    // The last request parsed as JSON.
    nlohmann::json lastRequest() const;
    // Blocks until at least n requests have arrived (or the service stops).
    void waitForRequests(size_t n) const;
    size_t connectionCount() const;      // accepted so far
    size_t openConnectionCount() const;  // not yet closed by either side
    // Waits until exactly n connections are open; false if that has not
    // happened after 30 s (a safety net, so a socket the client never closes
    // fails the test instead of hanging it).
    bool waitForOpenConnections(size_t n) const;

    // Ends every connection (ending silences too) and stops accepting.
    void stop();
    // A service that went away and came back: stops, waits until every
    // connection has ended, then listens again on the same port.
    void restart();

    // Big-endian length header for a payload of n bytes.
    static std::string lengthHeader(uint32_t n);

private:
    enum class Action { Send, SendPieces, SendThenClose, Close, Silence };
    struct Step {
        Action action;
        std::string bytes;
        std::vector<std::string> pieces;
        unsigned silenceReleases;  // releases seen when the step was taken
    };

    void acceptLoop();
    void serve(int fd, size_t connectionIndex);
    Step nextStep(size_t connectionIndex);
    void waitWhileSilent(unsigned releasesBefore);

    int listenFd_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<Step> script_;
    std::vector<std::string> requests_;
    std::vector<int> clientFds_;
    std::vector<std::thread> clientThreads_;
    size_t connections_ = 0;
    std::vector<size_t> silentConnections_;
    unsigned silenceReleases_ = 0;
    bool stopping_ = false;
    std::thread acceptThread_;
};

}  // namespace veltest
