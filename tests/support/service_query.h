#pragma once
// A JSON-line connection of a test's own to the simulator, beside the
// library's, for questions the library does not ask ("sim_acq_stats").

#include <nlohmann/json.hpp>

#include "support/socket_api.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace veltest {

class ServiceQuery {
public:
    explicit ServiceQuery(int port) : fd_(openTcpSocket()) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            if (fd_ >= 0) {
                closeSocket(fd_);
            }
            throw std::runtime_error("cannot connect to the simulator");
        }
    }
    ~ServiceQuery() { closeSocket(fd_); }
    ServiceQuery(const ServiceQuery&) = delete;
    ServiceQuery& operator=(const ServiceQuery&) = delete;

    // Sends one command without keys and returns the whole JSON reply.
    nlohmann::json ask(const std::string& command) {
        const std::string request = nlohmann::json{{"cmd", command}}.dump() + "\n";
        if (::send(fd_, request.data(), static_cast<int>(request.size()), kSendFlags) !=
            static_cast<int>(request.size())) {
            throw std::runtime_error("cannot send to the simulator");
        }
        std::string line;
        char c = 0;
        while (::recv(fd_, &c, 1, 0) == 1 && c != '\n') {
            line.push_back(c);
        }
        return nlohmann::json::parse(line);
    }

private:
    int fd_;
};

}  // namespace veltest
