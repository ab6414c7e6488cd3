#pragma once
// Output files whose names end in "_" + a 14-digit timestamp + ".csv".

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace veltest {

// The names of the regular files directly in dir, sorted.
inline std::vector<std::string> fileNamesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    if (std::filesystem::is_directory(dir)) {
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (entry.is_regular_file()) {
                names.push_back(entry.path().filename().string());
            }
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// True when name is stem + "_" + 14 digits + ".csv".
inline bool isTimestampedCsv(const std::string& name, const std::string& stem) {
    return name.size() == stem.size() + 19 && name.compare(0, stem.size(), stem) == 0 &&
           std::regex_match(name.substr(stem.size()), std::regex("_[0-9]{14}\\.csv"));
}

// The path of the one file in dir named stem + "_<timestamp>.csv"; empty when
// there is none or more than one.
inline std::filesystem::path timestampedFile(const std::filesystem::path& dir, const std::string& stem) {
    std::filesystem::path found;
    for (const std::string& name : fileNamesIn(dir)) {
        if (isTimestampedCsv(name, stem)) {
            if (!found.empty()) {
                return {};
            }
            found = dir / name;
        }
    }
    return found;
}

}  // namespace veltest
