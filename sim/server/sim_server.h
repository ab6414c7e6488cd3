#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include "sim/model/instrument.h"
#include "sim/protocol/dispatcher.h"
#include "sim/server/connection.h"
#include "sim/server/server_options.h"

namespace veltrano::sim {

// Accepts TCP connections and hands each to its own Connection. Every
// connection shares the one instrument.
//
// The constructor binds and listens, so port() is known before run(). run()
// serves on the calling thread until stop(); stop() may be called from any
// thread, also from a handler running inside run(), and returns once every
// connection thread has ended.
class SimServer {
public:
    SimServer(const ServerOptions& options, Instrument& instrument, const CommandTable& commands);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    std::uint16_t port() const { return port_; }
    boost::asio::io_context& ioContext() { return io_; }

    void run();
    void stop();

private:
    void acceptNext();
    void retryAcceptLater();
    void startConnection(boost::asio::ip::tcp::socket socket);

    ServerOptions options_;
    Instrument& instrument_;
    Dispatcher dispatcher_;
    boost::asio::io_context io_;
    boost::asio::ip::tcp::acceptor acceptor_;
    boost::asio::steady_timer retryTimer_;
    std::uint16_t port_ = 0;

    std::mutex connectionsMutex_;  // guards connections_ and stopping_
    std::list<std::unique_ptr<Connection>> connections_;
    bool stopping_ = false;
};

}  // namespace veltrano::sim
