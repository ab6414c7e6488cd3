#include "support/loopback.h"

#include "support/socket_api.h"

#include <algorithm>
#include <stdexcept>

namespace veltest {
namespace {

sockaddr_in loopbackAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

}  // namespace

int listenOnLoopback(int port) {
    const int fd = openTcpSocket();
    if (fd < 0) {
        return -1;
    }
    setIntOption(fd, SOL_SOCKET, SO_REUSEADDR, 1);
    const sockaddr_in address = loopbackAddress(port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0) {
        closeSocket(fd);
        return -1;
    }
    return fd;
}

int boundPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

bool sendAll(int fd, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const auto n = ::send(fd, bytes, static_cast<int>(std::min<std::size_t>(size, 1 << 30)), kSendFlags);
        if (n <= 0) {
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

LoopbackClient::LoopbackClient(int port) : fd_(openTcpSocket()) {
    const sockaddr_in address = loopbackAddress(port);
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (fd_ >= 0) {
            closeSocket(fd_);
        }
        throw std::runtime_error("cannot connect to 127.0.0.1:" + std::to_string(port));
    }
}

LoopbackClient::~LoopbackClient() { closeSocket(fd_); }

void LoopbackClient::sendRaw(const std::string& bytes) {
    if (!sendAll(fd_, bytes.data(), bytes.size())) {
        throw std::runtime_error("cannot send to the service");
    }
}

void LoopbackClient::fill(std::size_t n) {
    char chunk[4096];
    while (pending_.size() < n) {
        const auto got = ::recv(fd_, chunk, sizeof chunk, 0);
        if (got <= 0) {
            throw std::runtime_error("the service closed the connection before the reply ended");
        }
        pending_.append(chunk, static_cast<std::size_t>(got));
    }
}

std::string LoopbackClient::take(std::size_t n) {
    fill(n);
    std::string bytes = pending_.substr(0, n);
    pending_.erase(0, n);
    return bytes;
}

nlohmann::json LoopbackClient::readJson() {
    std::size_t end;
    while ((end = pending_.find('\n')) == std::string::npos) {
        fill(pending_.size() + 1);
    }
    const std::string line = take(end + 1).substr(0, end);
    if (line.empty() || (line[0] != '{' && line[0] != '[')) {
        throw std::runtime_error("not a JSON reply: " + line);
    }
    return nlohmann::json::parse(line);
}

std::vector<std::uint8_t> LoopbackClient::readBinary() {
    const std::string header = take(4);
    std::uint32_t n = 0;
    for (const char byte : header) {
        n = n << 8 | static_cast<std::uint8_t>(byte);
    }
    const std::string payload = take(n);
    return std::vector<std::uint8_t>(payload.begin(), payload.end());
}

nlohmann::json LoopbackClient::call(const nlohmann::json& request) {
    sendRaw(request.dump() + "\n");
    return readJson();
}

bool LoopbackClient::peerClosed() {
    if (!pending_.empty()) {
        return false;
    }
    char c = 0;
    const auto n = ::recv(fd_, &c, 1, 0);
    if (n == 1) {
        pending_.push_back(c);
    }
    return n == 0;
}

}  // namespace veltest
