#pragma once
// Reply bytes straight from a blocking socket.

#include "net/byte_source.h"

#include <boost/asio/ip/tcp.hpp>

class SocketByteSource final : public ByteSource {
public:
    explicit SocketByteSource(boost::asio::ip::tcp::socket& socket) : socket_(socket) {}

    bool readByte(uint8_t& byte) override;
    bool readExact(uint8_t* destination, size_t n) override;
    void readUntilLineFeed(std::string& buffer, size_t maxSize) override;

private:
    boost::asio::ip::tcp::socket& socket_;
};
