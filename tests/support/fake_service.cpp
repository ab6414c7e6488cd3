#include "support/fake_service.h"

#include "support/loopback.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include "support/socket_api.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace veltest {
FakeService::FakeService() {
    listenFd_ = listenOnLoopback(0);
    if (listenFd_ < 0) {
        throw std::runtime_error("fake service: cannot listen on 127.0.0.1");
    }
    port_ = boundPort(listenFd_);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

FakeService::~FakeService() {
    stop();
    acceptThread_.join();
    if (listenFd_ >= 0) {
        closeSocket(listenFd_);
    }
    for (auto& t : clientThreads_) {
        t.join();
    }
}

void FakeService::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        for (int fd : clientFds_) {
            ::shutdown(fd, kShutdownBoth);
        }
    }
    changed_.notify_all();
    stopListening(listenFd_);
}

void FakeService::restart() {
    stop();
    acceptThread_.join();
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return clientFds_.empty(); });
    }
    if (listenFd_ >= 0) {
        closeSocket(listenFd_);
    }
    listenFd_ = listenOnLoopback(port_);
    if (listenFd_ < 0) {
        throw std::runtime_error("fake service: cannot listen again on port " + std::to_string(port_));
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = false;
    }
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

std::filesystem::path FakeService::writeConfig(const std::filesystem::path& dir) const {
    return writeTextFile(dir / "service.ini", libraryConfigText(port_));
}

void FakeService::reply(std::string bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.push_back({Action::Send, std::move(bytes), {}, 0});
}

void FakeService::replyJson(const nlohmann::json& j) { reply(j.dump() + "\n"); }

void FakeService::replyBinary(const std::string& payload) {
    reply(lengthHeader(static_cast<uint32_t>(payload.size())) + payload);
}

void FakeService::replyThenClose(std::string bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.push_back({Action::SendThenClose, std::move(bytes), {}, 0});
}

void FakeService::closeOnRequest() {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.push_back({Action::Close, {}, {}, 0});
}

void FakeService::silence() {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.push_back({Action::Silence, {}, {}, 0});
}

void FakeService::replyInPieces(std::vector<std::string> pieces) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.push_back({Action::SendPieces, {}, std::move(pieces), 0});
}

void FakeService::silenceOn(size_t connectionIndex) {
    std::lock_guard<std::mutex> lock(mutex_);
    silentConnections_.push_back(connectionIndex);
}

void FakeService::releaseSilences() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++silenceReleases_;
        silentConnections_.clear();
    }
    changed_.notify_all();
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

size_t FakeService::openConnectionCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return clientFds_.size();
}

bool FakeService::waitForOpenConnections(size_t n) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30), [&] { return clientFds_.size() == n; });
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
    const int listening = listenFd_;
    for (;;) {
        const int fd = acceptConnection(listening);
        if (fd < 0) {
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) {
                closeSocket(fd);
                return;
            }
            setIntOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
            const size_t index = connections_++;
            clientFds_.push_back(fd);
            clientThreads_.emplace_back([this, fd, index] { serve(fd, index); });
        }
        changed_.notify_all();
    }
}

FakeService::Step FakeService::nextStep(size_t connectionIndex) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::find(silentConnections_.begin(), silentConnections_.end(), connectionIndex) !=
        silentConnections_.end()) {
        return {Action::Silence, {}, {}, silenceReleases_};
    }
    if (script_.empty()) {
        return {Action::Send, "{\"result\":0}\n", {}, 0};
    }
    Step step = std::move(script_.front());
    script_.pop_front();
    step.silenceReleases = silenceReleases_;
    return step;
}

void FakeService::waitWhileSilent(unsigned releasesBefore) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || silenceReleases_ != releasesBefore; });
}

void FakeService::serve(int fd, size_t connectionIndex) {
    std::string pending;
    char chunk[4096];
    bool open = true;
    while (open) {
        // Under wine a receive that is already waiting does not return when
        // another thread shuts the socket down: the wait is cut into slices
        // between which a stop is noticed.
        const int ready = waitReadable(fd, 100);
        if (ready < 0) {
            break;
        }
        if (ready == 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) break;
            continue;
        }
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            break;
        }
        pending.append(chunk, static_cast<size_t>(n));
        size_t lineEnd;
        while (open && (lineEnd = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, lineEnd + 1);
            pending.erase(0, lineEnd + 1);
            const Step step = nextStep(connectionIndex);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(std::move(line));
            }
            changed_.notify_all();
            switch (step.action) {
            case Action::Send:
                open = sendAll(fd, step.bytes.data(), step.bytes.size());
                break;
            case Action::SendPieces:
                for (size_t i = 0; open && i < step.pieces.size(); ++i) {
                    if (i > 0) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    }
                    open = sendAll(fd, step.pieces[i].data(), step.pieces[i].size());
                }
                break;
            case Action::SendThenClose:
                sendAll(fd, step.bytes.data(), step.bytes.size());
                open = false;
                break;
            case Action::Close:
                open = false;
                break;
            case Action::Silence:
                waitWhileSilent(step.silenceReleases);
                open = false;
                break;
            }
        }
    }
    ::shutdown(fd, kShutdownBoth);
    // The descriptor is closed here; the destructor only shuts down those still listed.
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::erase(clientFds_, fd);
        closeSocket(fd);
    }
    changed_.notify_all();
}

}  // namespace veltest
