#pragma once
// One blocking TCP connection to the instrument service, opened once per session
// and never reopened. Every exchange (write the request, read the complete
// reply) runs under the connection mutex, so exchanges from several threads of
// one session never interleave. There are no time-outs.

#include "net/command_response.h"
#include "net/frame.h"
#include "net/request_encoder.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <nlohmann/json.hpp>

#include <mutex>
#include <string>

class TcpClient {
public:
    TcpClient(std::string host, int port);
    ~TcpClient();
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    // Resolves and connects (trying each resolved endpoint in turn) and turns
    // Nagle's algorithm off. False on any failure; nothing is logged. Called
    // once, before the client is shared, so it takes no lock.
    bool connect();

    // Shuts the socket down and closes it; harmless when not connected. Waits
    // for a running exchange to finish.
    void disconnect();

    // One exchange under the connection mutex: writes the request and reads
    // its reply. Throws "Socket not connected" when closed, the socket's
    // errors and those of frame::readReply.
    CommandResponse sendJson(const nlohmann::json& request);

    // The same exchange with a binary payload taken by payloadReader (the
    // response then holds an empty binary payload).
    CommandResponse sendJson(const nlohmann::json& request, vel::frame::PayloadReader& payloadReader);

    const std::string& host() const { return host_; }
    int port() const { return port_; }

private:
    CommandResponse exchangeLocked(const nlohmann::json& request, vel::frame::PayloadReader* payloadReader);

    std::string host_;
    int port_;
    boost::asio::io_context io_;
    boost::asio::ip::tcp::socket socket_;
    boost::asio::ip::tcp::resolver resolver_;
    bool connected_ = false;  // guarded by mutex_ once the client is shared
    // The request text and the reply line, reused from exchange to exchange
    // (guarded by mutex_). They belong to the connection rather than to the
    // calling thread: a thread_local with a destructor is freed before its
    // destructor runs at thread exit in the mingw-w64 runtime.
    vel::frame::RequestEncoder encoder_;
    std::string replyLine_;
    std::mutex mutex_;
};
