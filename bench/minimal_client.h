#pragma once
// The baseline side of the benchmarks that talk to a service: one plain
// socket with TCP_NODELAY, one JSON line per request, replies read through a
// small receive buffer (a line up to its line feed, or a 4-byte big-endian
// length and that many bytes). No library code is involved.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace velbench {

class MinimalLineClient {
public:
    explicit MinimalLineClient(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            if (fd_ >= 0) {
                ::close(fd_);
            }
            throw std::runtime_error("cannot connect to the service");
        }
        const int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~MinimalLineClient() { ::close(fd_); }
    MinimalLineClient(const MinimalLineClient&) = delete;
    MinimalLineClient& operator=(const MinimalLineClient&) = delete;

    void send(const std::string& line) {
        size_t offset = 0;
        while (offset < line.size()) {
            const ssize_t n = ::send(fd_, line.data() + offset, line.size() - offset, MSG_NOSIGNAL);
            if (n <= 0) {
                throw std::runtime_error("send failed");
            }
            offset += static_cast<size_t>(n);
        }
    }

    // The next reply line without its line feed.
    std::string readLine() {
        for (;;) {
            const char* begin = pending_.data() + consumed_;
            const char* end = pending_.data() + pending_.size();
            if (const void* feed = std::memchr(begin, '\n', static_cast<size_t>(end - begin))) {
                const char* lineEnd = static_cast<const char*>(feed);
                std::string line(begin, lineEnd);
                consumed_ += line.size() + 1;
                return line;
            }
            receiveMore();
        }
    }

    // Reads one binary frame into payload (resized to the frame's size).
    void readFrame(std::vector<unsigned char>& payload) {
        unsigned char header[4];
        readExact(header, sizeof header);
        const size_t size = (size_t{header[0]} << 24) | (size_t{header[1]} << 16) | (size_t{header[2]} << 8) |
                            size_t{header[3]};
        payload.resize(size);
        readExact(payload.data(), size);
    }

    // Exactly size bytes of a stream that is not framed.
    void readExactly(unsigned char* destination, size_t size) { readExact(destination, size); }

private:
    void receiveMore() {
        if (consumed_ == pending_.size()) {
            pending_.clear();
            consumed_ = 0;
        }
        char chunk[4096];
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0) {
            throw std::runtime_error("connection ended");
        }
        pending_.append(chunk, static_cast<size_t>(n));
    }

    void readExact(unsigned char* destination, size_t size) {
        // Bytes already buffered by readLine first, then straight from the socket.
        const size_t buffered = std::min(size, pending_.size() - consumed_);
        std::memcpy(destination, pending_.data() + consumed_, buffered);
        consumed_ += buffered;
        size_t got = buffered;
        while (got < size) {
            const ssize_t n = ::recv(fd_, destination + got, size - got, 0);
            if (n <= 0) {
                throw std::runtime_error("connection ended");
            }
            got += static_cast<size_t>(n);
        }
    }

    int fd_ = -1;
    std::string pending_;
    size_t consumed_ = 0;
};

}  // namespace velbench
