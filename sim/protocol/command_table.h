#pragma once

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "sim/model/instrument.h"
#include "sim/protocol/reply.h"
#include "sim/protocol/request.h"

namespace veltrano::sim {

// What the simulator remembers about one connection (one library session).
struct ConnectionState {
    std::optional<int> deviceType;  // set by "connect", cleared by "disconnect"
};

// What a handler acts on.
struct CommandContext {
    Instrument& instrument;
    ConnectionState& connection;
};

// A handler answers one request. It may throw ProtocolError to refuse it.
using CommandHandler = std::function<Reply(const Request&, CommandContext&)>;

// Command name -> handler. Each subsystem registers its commands in its own file.
class CommandTable {
public:
    // Throws std::logic_error when the name is already taken.
    void add(const std::string& name, CommandHandler handler);
    const CommandHandler* find(const std::string& name) const;
    std::vector<std::string> names() const;

private:
    std::unordered_map<std::string, CommandHandler> handlers_;
};

}  // namespace veltrano::sim
