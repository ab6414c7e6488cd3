#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <thread>

#include <boost/asio/ip/tcp.hpp>

#include "sim/model/instrument.h"
#include "sim/protocol/dispatcher.h"

namespace veltrano::sim {

// One client connection, served on its own thread with blocking I/O: it reads
// request lines and writes exactly one reply per line, in order, each reply in
// a single write.
//
// Thread rules: start() launches the thread; it holds references to the
// instrument and the dispatcher (both outlive the server) and owns the socket.
// It ends when the peer closes, on any socket error, or when abort() shuts the
// socket down from another thread; the destructor joins it. socketMutex_
// guards shutting down versus closing the socket; the thread alone reads and
// writes it.
class Connection {
public:
    Connection(boost::asio::ip::tcp::socket socket, Instrument& instrument, const Dispatcher& dispatcher,
               std::size_t maxLineBytes, bool trace);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void start();
    void abort();
    bool finished() const { return finished_.load(); }

private:
    void serve();
    bool send(const Reply& reply);

    boost::asio::ip::tcp::socket socket_;
    Instrument& instrument_;
    const Dispatcher& dispatcher_;
    std::size_t maxLineBytes_;
    bool trace_;
    std::mutex socketMutex_;
    bool socketOpen_ = true;
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

}  // namespace veltrano::sim
