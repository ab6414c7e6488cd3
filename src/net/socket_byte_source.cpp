#include "net/socket_byte_source.h"

#include <boost/asio/read_until.hpp>

bool SocketByteSource::readByte(uint8_t& byte) {
    boost::system::error_code ec;
    const size_t n = socket_.read_some(boost::asio::buffer(&byte, 1), ec);
    return !ec && n == 1;
}

bool SocketByteSource::readExact(uint8_t* destination, size_t n) {
    // Each receive asks for everything still missing and takes whatever has
    // arrived; boost::asio::read would ask for at most 64 KiB at a time.
    size_t got = 0;
    while (got < n) {
        boost::system::error_code ec;
        got += socket_.read_some(boost::asio::buffer(destination + got, n - got), ec);
        if (ec) {
            return false;
        }
    }
    return true;
}

void SocketByteSource::readUntilLineFeed(std::string& buffer, size_t maxSize) {
    // Throws boost::system::system_error, whose text begins "read_until".
    boost::asio::read_until(socket_, boost::asio::dynamic_buffer(buffer, maxSize), '\n');
}
