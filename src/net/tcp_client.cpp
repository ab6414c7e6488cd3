#include "net/tcp_client.h"

#include "net/frame.h"
#include "net/request_encoder.h"
#include "net/socket_byte_source.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/write.hpp>

#include <stdexcept>

TcpClient::TcpClient(std::string host, int port) : host_(std::move(host)), port_(port), socket_(io_), resolver_(io_) {}

TcpClient::~TcpClient() {
    boost::system::error_code ignored;
    socket_.close(ignored);
}

bool TcpClient::connect() {
    try {
        boost::system::error_code ec;
        auto endpoints = resolver_.resolve(host_, std::to_string(port_), ec);
        if (ec) {
            connected_ = false;
            return false;
        }
        boost::asio::connect(socket_, endpoints, ec);
        if (ec) {
            connected_ = false;
            return false;
        }
        // Small request/reply exchanges must not wait on delayed acknowledgements.
        socket_.set_option(boost::asio::ip::tcp::no_delay(true), ec);
        connected_ = true;
        return true;
    } catch (...) {
        // Any failure to resolve or connect is a refused connection.
        connected_ = false;
        return false;
    }
}

void TcpClient::disconnect() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!connected_) {
        return;
    }
    boost::system::error_code ignored;
    socket_.shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    connected_ = false;
}

CommandResponse TcpClient::sendJson(const nlohmann::json& request) {
    return exchangeLocked(request, nullptr);
}

CommandResponse TcpClient::sendJson(const nlohmann::json& request, vel::frame::PayloadReader& payloadReader) {
    return exchangeLocked(request, &payloadReader);
}

CommandResponse TcpClient::exchangeLocked(const nlohmann::json& request, vel::frame::PayloadReader* payloadReader) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!connected_) {
        throw std::runtime_error("Socket not connected");
    }
    boost::asio::write(socket_, boost::asio::buffer(encoder_.encode(request)));
    SocketByteSource source(socket_);
    return vel::frame::readReply(source, replyLine_, payloadReader);
}
