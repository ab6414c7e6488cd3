#include "api/service_config.h"

#include "core/io_utils.h"

#include <INIReader.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace vel {

namespace {

// inih opens its file by a narrow name, which Windows reads in the system's
// code page: there the file is read through its wide name and parsed from
// memory, so a UTF-8 path with any characters works. A file that cannot be
// opened gives no reader, as a failed open in inih does.
std::unique_ptr<INIReader> parseConfigFile(const std::string& configPath) {
#if defined(_WIN32)
    std::ifstream in(ksq::CIOUtils::fromUtf8String(configPath), std::ios::binary);
    if (!in.is_open()) {
        return nullptr;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return std::make_unique<INIReader>(text.data(), text.size());
#else
    return std::make_unique<INIReader>(configPath);
#endif
}

}  // namespace

std::optional<ServiceAddress> readServiceConfig(const std::string& configPath) {
    // A directory opens fine for reading on POSIX systems and then reads as an
    // empty file; it is not a configuration file, so it fails to load.
    std::error_code ec;
    if (std::filesystem::is_directory(ksq::CIOUtils::fromUtf8String(configPath), ec)) {
        return std::nullopt;
    }
    const std::unique_ptr<INIReader> reader = parseConfigFile(configPath);
    if (!reader || reader->ParseError() < 0) {
        return std::nullopt;
    }
    return ServiceAddress{reader->Get("server", "server.ip", "127.0.0.1"),
                          static_cast<int>(reader->GetInteger("server", "server.port", 6789))};
}

}  // namespace vel
