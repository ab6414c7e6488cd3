#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace veltrano::sim {

// Appends the hex text of `size` bytes to `out`: two lower-case digits per byte,
// high nibble first, and a line feed after every 8th byte and after the last.
// Converting a stream piecewise gives the same text as converting it at once
// when every piece but the last is a multiple of 8 bytes long.
void appendHexText(const std::uint8_t* data, std::size_t size, std::string& out);

// Converts the file at `input` into hex text at `output` (replacing it), reading
// 1 MiB at a time. Returns an empty text on success, else what went wrong; no
// output file is created when the input cannot be opened.
std::string convertFileToHex(const std::filesystem::path& input, const std::filesystem::path& output);

}  // namespace veltrano::sim
