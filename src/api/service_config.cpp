#include "api/service_config.h"

#include <INIReader.h>

#include <filesystem>

namespace vel {

std::optional<ServiceAddress> readServiceConfig(const std::string& configPath) {
    // A directory opens fine for reading on POSIX systems and then reads as an
    // empty file; it is not a configuration file, so it fails to load.
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::path(configPath), ec)) {
        return std::nullopt;
    }
    INIReader reader(configPath);
    if (reader.ParseError() < 0) {
        return std::nullopt;
    }
    return ServiceAddress{reader.Get("server", "server.ip", "127.0.0.1"),
                          static_cast<int>(reader.GetInteger("server", "server.port", 6789))};
}

}  // namespace vel
