#include "sim/server/sim_server.h"

#include <chrono>
#include <iostream>

#include <boost/asio/post.hpp>

namespace veltrano::sim {

using boost::asio::ip::tcp;

SimServer::SimServer(const ServerOptions& options, Instrument& instrument, const CommandTable& commands)
    : options_(options),
      instrument_(instrument),
      dispatcher_(commands),
      acceptor_(io_, tcp::endpoint(boost::asio::ip::make_address(options.address), options.port)),
      retryTimer_(io_) {
    port_ = acceptor_.local_endpoint().port();
    acceptNext();
}

SimServer::~SimServer() { stop(); }

void SimServer::run() { io_.run(); }

void SimServer::stop() {
    // Ends what runs on the instrument first: it wakes handlers waiting for data ("wait_data_ready").
    instrument_.resetState();
    boost::asio::post(io_, [this] {
        boost::system::error_code ignored;
        acceptor_.close(ignored);
        retryTimer_.cancel();
    });
    std::list<std::unique_ptr<Connection>> ending;
    {
        std::lock_guard lock(connectionsMutex_);
        stopping_ = true;
        ending.swap(connections_);
    }
    for (auto& connection : ending) connection->abort();
    ending.clear();  // joins each connection's thread
}

void SimServer::acceptNext() {
    acceptor_.async_accept([this](const boost::system::error_code& ec, tcp::socket socket) {
        if (ec == boost::asio::error::operation_aborted || !acceptor_.is_open()) return;
        if (ec) {
            // Out of descriptors or a similar passing fault: try again shortly instead of spinning.
            std::cerr << "veltrano-sim: accept failed: " << ec.message() << '\n';
            retryAcceptLater();
            return;
        }
        startConnection(std::move(socket));
        acceptNext();
    });
}

void SimServer::retryAcceptLater() {
    retryTimer_.expires_after(std::chrono::milliseconds(100));
    retryTimer_.async_wait([this](const boost::system::error_code& ec) {
        if (!ec && acceptor_.is_open()) acceptNext();
    });
}

void SimServer::startConnection(tcp::socket socket) {
    boost::system::error_code ignored;
    // Replies are single writes; without Nagle none waits for a delayed acknowledgement.
    socket.set_option(tcp::no_delay(true), ignored);

    std::list<std::unique_ptr<Connection>> finished;
    std::lock_guard lock(connectionsMutex_);
    if (stopping_) return;
    // Reap connections whose threads have ended (joined when `finished` goes).
    for (auto it = connections_.begin(); it != connections_.end();) {
        auto next = std::next(it);
        if ((*it)->finished()) finished.splice(finished.end(), connections_, it);
        it = next;
    }
    auto connection =
        std::make_unique<Connection>(std::move(socket), instrument_, dispatcher_, options_.maxLineBytes, options_.trace);
    connection->start();
    connections_.push_back(std::move(connection));
}

}  // namespace veltrano::sim
