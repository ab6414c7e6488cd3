#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <nlohmann/json.hpp>

namespace vtest {

// A bare TCP client for the simulator's tests: writes any bytes and reads one
// reply, JSON line or binary frame, as the library's framing defines them.
class RawClient {
public:
    explicit RawClient(int port);

    void sendRaw(const std::string& bytes);
    // Reads one reply; JSON replies are parsed (throws when the line is not JSON).
    nlohmann::json readJson();
    std::vector<std::uint8_t> readBinary();
    // Sends a request line and reads its JSON reply.
    nlohmann::json call(const nlohmann::json& request);
    // True when the peer closed the connection (the next read finds its end).
    bool peerClosed();

private:
    boost::asio::io_context io_;
    boost::asio::ip::tcp::socket socket_;
    std::string pending_;
};

}  // namespace vtest
