#pragma once
// Both ends of a test's own TCP connection on 127.0.0.1: a listening socket
// for stand-in services, and a client that speaks the service's framing (a
// JSON reply line, or a binary frame of a 4-byte big-endian length and its
// payload), for questions the library does not ask and bytes it would never
// send.

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace veltest {

// A socket listening on 127.0.0.1:port (0 = a free port); -1 when that fails.
int listenOnLoopback(int port);
// The port a socket is bound to.
int boundPort(int fd);
// Sends every byte; false once the peer is gone.
bool sendAll(int fd, const void* data, std::size_t size);

class LoopbackClient {
public:
    // Connects at once; throws std::runtime_error when nothing listens.
    explicit LoopbackClient(int port);
    ~LoopbackClient();
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    void sendRaw(const std::string& bytes);
    // Reads one reply line and parses it; throws when the line is not JSON or
    // the peer closes first.
    nlohmann::json readJson();
    // Reads one binary frame and returns its payload.
    std::vector<std::uint8_t> readBinary();
    // Sends a request line and reads its JSON reply.
    nlohmann::json call(const nlohmann::json& request);
    // True when the peer closed the connection (the next read finds its end).
    bool peerClosed();

private:
    // Reads until at least n bytes are pending.
    void fill(std::size_t n);
    std::string take(std::size_t n);

    int fd_;
    std::string pending_;
};

}  // namespace veltest
