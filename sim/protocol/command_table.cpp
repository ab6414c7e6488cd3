#include "sim/protocol/command_table.h"

#include <algorithm>
#include <stdexcept>

namespace veltrano::sim {

void CommandTable::add(const std::string& name, CommandHandler handler) {
    if (!handlers_.emplace(name, std::move(handler)).second) {
        throw std::logic_error("command registered twice: " + name);
    }
}

const CommandHandler* CommandTable::find(const std::string& name) const {
    const auto it = handlers_.find(name);
    return it == handlers_.end() ? nullptr : &it->second;
}

std::vector<std::string> CommandTable::names() const {
    std::vector<std::string> out;
    out.reserve(handlers_.size());
    for (const auto& entry : handlers_) out.push_back(entry.first);
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace veltrano::sim
