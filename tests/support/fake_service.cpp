#include "support/fake_service.h"

#include "support/temp_dir.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace veltest {
namespace {

bool sendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

FakeService::FakeService() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listenFd_ < 0) {
        throw std::runtime_error("fake service: socket failed");
    }
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd_, 16) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("fake service: bind/listen failed");
    }
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

FakeService::~FakeService() {
    stop();
    acceptThread_.join();
    ::close(listenFd_);
    for (auto& t : clientThreads_) {
        t.join();
    }
}

void FakeService::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        for (int fd : clientFds_) {
            ::shutdown(fd, SHUT_RDWR);
        }
    }
    changed_.notify_all();
    ::shutdown(listenFd_, SHUT_RDWR);
}

std::filesystem::path FakeService::writeConfig(const std::filesystem::path& dir) const {
    return writeTextFile(dir / "service.ini",
                         "[server]\nserver.ip = 127.0.0.1\nserver.port = " + std::to_string(port_) + "\n");
}

void FakeService::reply(std::string bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.push_back({Action::Send, std::move(bytes)});
}

void FakeService::replyJson(const nlohmann::json& j) { reply(j.dump() + "\n"); }

void FakeService::replyBinary(const std::string& payload) {
    reply(lengthHeader(static_cast<uint32_t>(payload.size())) + payload);
}

void FakeService::replyThenClose(std::string bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.push_back({Action::SendThenClose, std::move(bytes)});
}

void FakeService::closeOnRequest() {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.push_back({Action::Close, {}});
}

void FakeService::silence() {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.push_back({Action::Silence, {}});
}

std::vector<std::string> FakeService::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

nlohmann::json FakeService::lastRequest() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.empty() ? nlohmann::json() : nlohmann::json::parse(requests_.back());
}

void FakeService::waitForRequests(size_t n) const {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || requests_.size() >= n; });
}

size_t FakeService::connectionCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_;
}

std::string FakeService::lengthHeader(uint32_t n) {
    std::string header(4, '\0');
    header[0] = static_cast<char>((n >> 24) & 0xFF);
    header[1] = static_cast<char>((n >> 16) & 0xFF);
    header[2] = static_cast<char>((n >> 8) & 0xFF);
    header[3] = static_cast<char>(n & 0xFF);
    return header;
}

void FakeService::acceptLoop() {
    for (;;) {
        const int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0) {
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            ::close(fd);
            return;
        }
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ++connections_;
        clientFds_.push_back(fd);
        clientThreads_.emplace_back([this, fd] { serve(fd); });
    }
}

FakeService::Step FakeService::nextStep() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (script_.empty()) {
        return {Action::Send, "{\"result\":0}\n"};
    }
    Step step = std::move(script_.front());
    script_.pop_front();
    return step;
}

void FakeService::serve(int fd) {
    std::string pending;
    char chunk[4096];
    bool open = true;
    while (open) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            break;
        }
        pending.append(chunk, static_cast<size_t>(n));
        size_t lineEnd;
        while (open && (lineEnd = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, lineEnd + 1);
            pending.erase(0, lineEnd + 1);
            const Step step = nextStep();
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(std::move(line));
            }
            changed_.notify_all();
            switch (step.action) {
            case Action::Send:
                open = sendAll(fd, step.bytes);
                break;
            case Action::SendThenClose:
                sendAll(fd, step.bytes);
                open = false;
                break;
            case Action::Close:
                open = false;
                break;
            case Action::Silence: {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return stopping_; });
                open = false;
                break;
            }
            }
        }
    }
    ::shutdown(fd, SHUT_RDWR);
    // The descriptor is closed here; the destructor only shuts down those still listed.
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase(clientFds_, fd);
    ::close(fd);
}

}  // namespace veltest
