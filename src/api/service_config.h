#pragma once
// The session configuration file: an INI file whose section "server" names the
// instrument service ("server.ip", default 127.0.0.1; "server.port", default
// 6789, read with strtol base 0 so 0x1A85 and 015205 work too). Read afresh by
// every ci_create; nothing else is configurable.

#include <optional>
#include <string>

namespace vel {

struct ServiceAddress {
    std::string host;
    int port;
};

// Empty when the file cannot be opened or read. A syntax error on some line is
// not a failure: the values read up to it are used.
std::optional<ServiceAddress> readServiceConfig(const std::string& configPath);

}  // namespace vel
