#include "sim/model/acquisition/hex_conversion.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

namespace veltrano::sim {
namespace {

constexpr std::size_t kChunkBytes = 1 << 20;  // a multiple of 8: every chunk but the last ends a line

}  // namespace

void appendHexText(const std::uint8_t* data, std::size_t size, std::string& out) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out.reserve(out.size() + 2 * size + (size + 7) / 8);
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(kDigits[data[i] >> 4]);
        out.push_back(kDigits[data[i] & 0xF]);
        if (i % 8 == 7 || i + 1 == size) out.push_back('\n');
    }
}

std::string convertFileToHex(const std::filesystem::path& input, const std::filesystem::path& output) {
    std::error_code ec;
    if (std::filesystem::is_directory(input, ec)) return "cannot convert " + input.string() + ": it is a folder";
    std::ifstream in(input, std::ios::binary);
    if (!in) return "cannot open " + input.string() + ": " + std::strerror(errno);
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    if (!out) return "cannot create " + output.string() + ": " + std::strerror(errno);

    std::vector<char> chunk(kChunkBytes);
    std::string text;
    while (true) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0) break;
        text.clear();
        appendHexText(reinterpret_cast<const std::uint8_t*>(chunk.data()), got, text);
        if (!out.write(text.data(), static_cast<std::streamsize>(text.size()))) {
            return "cannot write " + output.string() + ": " + std::strerror(errno);
        }
        if (got < chunk.size()) break;
    }
    if (in.bad()) return "cannot read " + input.string() + ": " + std::strerror(errno);
    out.close();
    if (!out) return "cannot write " + output.string() + ": " + std::strerror(errno);
    return {};
}

}  // namespace veltrano::sim
