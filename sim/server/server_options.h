#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace veltrano::sim {

struct ServerOptions {
    std::string address = "127.0.0.1";
    std::uint16_t port = 6789;  // 0 picks a free port
    std::size_t maxLineBytes = 1 << 20;
    bool trace = false;  // write every request and reply to stderr
};

}  // namespace veltrano::sim
