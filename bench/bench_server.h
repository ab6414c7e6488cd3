#pragma once
// The service side of the benchmarks: a small server in the benchmark process
// that is never the bottleneck. Every reply is prepared before the clock
// starts and is sent with one send call as fast as the socket takes it:
//
//   "acq_rawdata"        starts a stream of streamBytes (the fixed reply)
//   "fetch_rawdata"      the next chunk of the stream as one binary frame, an
//                        empty frame once the stream is done
//   "fetch_processdata", "fetch_cross_correlation_data"
//                        the point-list frame, when one was given
//   "push_stream"        not a library command: the whole stream at once, one
//                        chunk after another without waiting for requests
//                        (what a plain socket reader takes: the loopback limit)
//   anything else        the fixed reply {"data":{"status":0,"value":0.25},"result":0}
//
// Each connection gets its own thread, which reads request lines through a
// buffer and allocates nothing per request. The destructor shuts the
// listening socket and every connection down and joins the threads.

#include "bench_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <vector>

namespace velbench {

class BenchServer {
public:
    struct Options {
        uint64_t chunkBytes = 4u << 20;   // payload of one "fetch_rawdata" frame
        uint64_t streamBytes = 0;         // stream length, a multiple of chunkBytes
        std::vector<unsigned char> pointList;  // payload of the point-list fetches
    };

    static constexpr std::string_view kFixedReply = "{\"data\":{\"status\":0,\"value\":0.25},\"result\":0}\n";

    explicit BenchServer(Options options) : options_(std::move(options)) {
        chunkFrame_ = frameOf(noiseBytes(options_.chunkBytes));
        emptyFrame_ = frameOf({});
        if (!options_.pointList.empty()) {
            pointFrame_ = frameOf(options_.pointList);
        }
        listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listenFd_, 64) != 0 ||
            ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot listen");
        }
        port_ = ntohs(address.sin_port);
        acceptThread_ = std::thread([this] { acceptLoop(); });
    }
    ~BenchServer() {
        ::shutdown(listenFd_, SHUT_RDWR);
        acceptThread_.join();
        ::close(listenFd_);
        std::lock_guard<std::mutex> lock(mutex_);
        for (const int fd : clientFds_) {
            ::shutdown(fd, SHUT_RDWR);
        }
        for (auto& thread : clientThreads_) {
            thread.join();
        }
        for (const int fd : clientFds_) {
            ::close(fd);
        }
    }
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;

    int port() const { return port_; }
    // The bytes every chunk of the stream carries (the same for each chunk).
    const unsigned char* chunkPayload() const { return chunkFrame_.data() + 4; }

private:
    static std::vector<unsigned char> frameOf(const std::vector<unsigned char>& payload) {
        const auto size = static_cast<uint32_t>(payload.size());
        std::vector<unsigned char> frame(4 + payload.size());
        for (int i = 0; i < 4; ++i) {
            frame[static_cast<size_t>(i)] = static_cast<unsigned char>(size >> (24 - 8 * i));
        }
        std::copy(payload.begin(), payload.end(), frame.begin() + 4);
        return frame;
    }

    void acceptLoop() {
        for (;;) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                return;
            }
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            std::lock_guard<std::mutex> lock(mutex_);
            clientFds_.push_back(fd);
            clientThreads_.emplace_back([this, fd] { serve(fd); });
        }
    }

    // Reads request lines through one buffer and answers each in turn.
    void serve(int fd) {
        std::vector<char> pending(64 * 1024);
        size_t filled = 0;
        uint64_t streamLeft = 0;
        for (;;) {
            const ssize_t n = ::recv(fd, pending.data() + filled, pending.size() - filled, 0);
            if (n <= 0) {
                return;
            }
            filled += static_cast<size_t>(n);
            size_t begin = 0;
            while (const void* feed = std::memchr(pending.data() + begin, '\n', filled - begin)) {
                const size_t end = static_cast<size_t>(static_cast<const char*>(feed) - pending.data());
                if (!answer(fd, std::string_view(pending.data() + begin, end - begin), streamLeft)) {
                    return;
                }
                begin = end + 1;
            }
            std::memmove(pending.data(), pending.data() + begin, filled - begin);
            filled -= begin;
            if (filled == pending.size()) {
                return;  // a line longer than the buffer: not a client of ours
            }
        }
    }

    bool answer(int fd, std::string_view line, uint64_t& streamLeft) const {
        const auto is = [&](std::string_view quotedCommand) {
            return line.find(quotedCommand) != std::string_view::npos;
        };
        if (line == "push_stream") {
            for (uint64_t sent = 0; sent < options_.streamBytes; sent += options_.chunkBytes) {
                if (!sendAll(fd, chunkFrame_.data() + 4, options_.chunkBytes)) {
                    return false;
                }
            }
            return true;
        }
        if (is("\"cmd\":\"fetch_rawdata\"")) {
            if (streamLeft == 0) {
                return sendAll(fd, emptyFrame_.data(), emptyFrame_.size());
            }
            streamLeft -= std::min(streamLeft, options_.chunkBytes);
            return sendAll(fd, chunkFrame_.data(), chunkFrame_.size());
        }
        if (!pointFrame_.empty() && (is("\"cmd\":\"fetch_processdata\"") || is("\"cmd\":\"fetch_cross_correlation_data\""))) {
            return sendAll(fd, pointFrame_.data(), pointFrame_.size());
        }
        if (is("\"cmd\":\"acq_rawdata\"")) {
            streamLeft = options_.streamBytes;
        }
        return sendAll(fd, kFixedReply.data(), kFixedReply.size());
    }

    static bool sendAll(int fd, const void* data, size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        while (size > 0) {
            const ssize_t n = ::send(fd, bytes, size, MSG_NOSIGNAL);
            if (n <= 0) {
                return false;
            }
            bytes += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    Options options_;
    std::vector<unsigned char> chunkFrame_;
    std::vector<unsigned char> emptyFrame_;
    std::vector<unsigned char> pointFrame_;
    int listenFd_ = -1;
    int port_ = 0;
    std::mutex mutex_;  // guards clientFds_ and clientThreads_
    std::vector<int> clientFds_;
    std::vector<std::thread> clientThreads_;
    std::thread acceptThread_;
};

}  // namespace velbench
