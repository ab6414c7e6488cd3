#include "sim/server/connection.h"

#include <sys/socket.h>

#include <array>
#include <iostream>

#include <boost/asio/write.hpp>

#include "sim/protocol/reply_codec.h"
#include "sim/server/line_reader.h"

namespace veltrano::sim {
namespace {

std::mutex trace_mutex;

void traceLine(const char* direction, std::string_view text) {
    std::lock_guard lock(trace_mutex);
    std::cerr << direction << ' ' << text << '\n';
}

}  // namespace

Connection::Connection(boost::asio::ip::tcp::socket socket, Instrument& instrument, const Dispatcher& dispatcher,
                       std::size_t maxLineBytes, bool trace)
    : socket_(std::move(socket)),
      instrument_(instrument),
      dispatcher_(dispatcher),
      maxLineBytes_(maxLineBytes),
      trace_(trace) {}

Connection::~Connection() {
    abort();
    if (thread_.joinable()) thread_.join();
}

void Connection::start() { thread_ = std::thread([this] { serve(); }); }

void Connection::abort() {
    std::lock_guard lock(socketMutex_);
    if (socketOpen_) ::shutdown(socket_.native_handle(), SHUT_RDWR);
}

bool Connection::send(const Reply& reply) {
    boost::system::error_code ec;
    if (isSendableBinary(reply)) {
        // Header and payload in one gathered write, the payload from where it lies (no copy).
        const auto payload = reply.binary();
        const auto header = binaryLengthHeader(static_cast<std::uint32_t>(payload.size()));
        if (trace_) traceLine("->", "[binary " + std::to_string(payload.size()) + " bytes]");
        const std::array<boost::asio::const_buffer, 2> buffers{boost::asio::buffer(header),
                                                               boost::asio::buffer(payload.data(), payload.size())};
        boost::asio::write(socket_, buffers, ec);
        return !ec;
    }
    const std::string bytes = encodeReply(reply);
    if (trace_) traceLine("->", std::string_view(bytes).substr(0, bytes.size() - 1));
    boost::asio::write(socket_, boost::asio::buffer(bytes), ec);
    return !ec;
}

void Connection::serve() {
    try {
        ConnectionState state;
        CommandContext context{instrument_, state};
        LineReader reader(maxLineBytes_);
        std::array<char, 64 * 1024> buffer{};
        bool open = true;
        while (open) {
            boost::system::error_code ec;
            const std::size_t n = socket_.read_some(boost::asio::buffer(buffer), ec);
            if (ec) break;
            for (const LineReader::Item& item : reader.feed(std::string_view(buffer.data(), n))) {
                if (trace_) traceLine("<-", item.tooLong ? "[line too long]" : item.line);
                const Reply reply =
                    item.tooLong ? Dispatcher::lineTooLong(maxLineBytes_) : dispatcher_.handleLine(item.line, context);
                if (!send(reply)) {
                    open = false;
                    break;
                }
            }
        }
    } catch (const std::exception& e) {
        std::cerr << "veltrano-sim: connection ended: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "veltrano-sim: connection ended by an unknown error\n";
    }
    {
        std::lock_guard lock(socketMutex_);
        boost::system::error_code ignored;
        socket_.close(ignored);
        socketOpen_ = false;
    }
    finished_ = true;
}

}  // namespace veltrano::sim
