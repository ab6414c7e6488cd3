#include "net/socket_byte_source.h"

#include <boost/asio/read_until.hpp>

#include <algorithm>
#include <cstring>

bool SocketByteSource::receive() {
    boost::system::error_code ec;
    const size_t n = socket_.read_some(boost::asio::buffer(buffer_), ec);
    begin_ = 0;
    end_ = ec ? 0 : n;
    return end_ > 0;
}

size_t SocketByteSource::takeBuffered(uint8_t* destination, size_t n) {
    const size_t count = std::min(n, end_ - begin_);
    std::memcpy(destination, buffer_.data() + begin_, count);
    begin_ += count;
    return count;
}

bool SocketByteSource::readByte(uint8_t& byte) {
    if (begin_ == end_ && !receive()) {
        return false;
    }
    byte = buffer_[begin_++];
    return true;
}

bool SocketByteSource::readExact(uint8_t* destination, size_t n) {
    size_t got = takeBuffered(destination, n);
    // Each receive asks for everything still missing and takes whatever has
    // arrived; boost::asio::read would ask for at most 64 KiB at a time.
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
    // The buffered bytes go first, all of them, as one receive's would.
    const auto* first = buffer_.data() + begin_;
    const auto* last = buffer_.data() + end_;
    const size_t count = std::min<size_t>(static_cast<size_t>(last - first), maxSize - std::min(maxSize, buffer.size()));
    const bool hasLineFeed = std::find(first, first + count, '\n') != first + count;
    buffer.append(reinterpret_cast<const char*>(first), count);
    begin_ = end_;
    if (hasLineFeed) {
        return;
    }
    // Throws boost::system::system_error, whose text begins "read_until".
    boost::asio::read_until(socket_, boost::asio::dynamic_buffer(buffer, maxSize), '\n');
}
