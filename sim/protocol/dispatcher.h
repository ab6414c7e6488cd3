#pragma once

#include <cstddef>
#include <string_view>

#include "sim/protocol/command_table.h"

namespace veltrano::sim {

// Turns one request line into exactly one reply. Never throws: every failure,
// whatever the line holds, becomes an error reply.
class Dispatcher {
public:
    explicit Dispatcher(const CommandTable& table) : table_(table) {}

    Reply handleLine(std::string_view line, CommandContext& context) const;

    // The reply to a request line longer than the connection accepts.
    static Reply lineTooLong(std::size_t limit);

private:
    const CommandTable& table_;
};

}  // namespace veltrano::sim
