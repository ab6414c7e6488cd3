#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace veltrano::sim {

// Paths of the files the service writes and reads itself.

// An absolute `path` as given; a relative one (an empty one: the folder itself)
// under `data_dir`.
std::filesystem::path resolveServicePath(const std::string& dataDir, const std::string& path);

// A record file an analysis writes itself: the folder (as resolveServicePath)
// joined with `file_name` without its extension, followed by `suffix`
// (run.csv and "_t3.bin" give run_t3.bin).
std::filesystem::path analysisRecordPath(const std::string& dataDir, const std::string& folderPath,
                                         const std::string& fileName, const std::string& suffix);

// Volume `index` of a volume set whose volume 0 is `first`: index 0 is `first`;
// index k inserts "_k" before the last '.' of the file name (run.bin gives
// run_1.bin), or appends it when the name has no '.' after its first character.
std::filesystem::path volumePath(const std::filesystem::path& first, std::size_t index);

// The hex text file that "convert_to_hex" writes for `bin_file`, by the same rule
// as the library's converter: a `hex_file` that is non-empty and differs from
// `bin_file` is used as given when it has an extension, else with ".dat"
// appended; otherwise `bin_file` without its extension plus "_convert.dat".
std::string hexOutputName(const std::string& binFile, const std::string& hexFile);

}  // namespace veltrano::sim
