#pragma once
// Where reply bytes come from. The framing reads through this small interface,
// so it can be fed from a socket or, in tests, from byte strings split anywhere.

#include <cstddef>
#include <cstdint>
#include <string>

class ByteSource {
public:
    virtual ~ByteSource() = default;

    // The next byte; false when the stream has ended or failed.
    virtual bool readByte(uint8_t& byte) = 0;

    // Exactly n bytes into destination; false when the stream ends or fails first.
    virtual bool readExact(uint8_t* destination, size_t n) = 0;

    // Appends received bytes to buffer until it holds a line feed, reading no
    // further than needed by the transport's granularity (extra bytes of the
    // same receive may follow the line feed). Throws an error whose text begins
    // "read_until" when the stream ends or fails first, or when the buffer would
    // exceed maxSize bytes.
    virtual void readUntilLineFeed(std::string& buffer, size_t maxSize) = 0;
};
