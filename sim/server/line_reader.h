#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace veltrano::sim {

// Splits the bytes of a connection into request lines. Knows bytes, not sockets.
// A line ends at a line feed; a carriage return right before it is dropped. A
// line longer than the limit (counting a carriage return, not the line feed) is
// reported once as too long and the rest of it, up to its line feed, is skipped,
// so the connection stays usable.
class LineReader {
public:
    struct Item {
        bool tooLong = false;
        std::string line;  // empty when tooLong
    };

    explicit LineReader(std::size_t maxLineBytes) : maxLineBytes_(maxLineBytes) {}

    // Feeds received bytes; returns the items they complete, in order.
    std::vector<Item> feed(std::string_view bytes);

    std::size_t maxLineBytes() const { return maxLineBytes_; }

private:
    std::size_t maxLineBytes_;
    std::string partial_;
    bool skipping_ = false;
};

}  // namespace veltrano::sim
