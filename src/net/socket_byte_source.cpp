#include "net/socket_byte_source.h"

#include <boost/asio/read.hpp>
#include <boost/asio/read_until.hpp>

bool SocketByteSource::readByte(uint8_t& byte) {
    boost::system::error_code ec;
    const size_t n = socket_.read_some(boost::asio::buffer(&byte, 1), ec);
    return !ec && n == 1;
}

bool SocketByteSource::readExact(uint8_t* destination, size_t n) {
    boost::system::error_code ec;
    const size_t got = boost::asio::read(socket_, boost::asio::buffer(destination, n), ec);
    return !ec && got == n;
}

void SocketByteSource::readUntilLineFeed(std::string& buffer, size_t maxSize) {
    // Throws boost::system::system_error, whose text begins "read_until".
    boost::asio::read_until(socket_, boost::asio::dynamic_buffer(buffer, maxSize), '\n');
}
