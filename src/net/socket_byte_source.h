#pragma once
// Reply bytes from a blocking socket, received through a small buffer: the
// first receive of an exchange takes whatever has arrived (a whole short reply
// at once), and a large payload goes from the buffer's rest straight to its
// destination. One source serves one exchange; bytes a peer sends after the
// reply in the same receive are dropped with it.

#include "net/byte_source.h"

#include <boost/asio/ip/tcp.hpp>

#include <array>

class SocketByteSource final : public ByteSource {
public:
    explicit SocketByteSource(boost::asio::ip::tcp::socket& socket) : socket_(socket) {}

    bool readByte(uint8_t& byte) override;
    bool readExact(uint8_t* destination, size_t n) override;
    void readUntilLineFeed(std::string& buffer, size_t maxSize) override;

private:
    // Receives into the empty buffer; false when the stream has ended or failed.
    bool receive();
    // Moves up to n buffered bytes to destination and returns their count.
    size_t takeBuffered(uint8_t* destination, size_t n);

    boost::asio::ip::tcp::socket& socket_;
    // A command reply fits; 4 KiB of stack is nothing next to a receive call.
    std::array<uint8_t, 4096> buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
};
