#pragma once
// A fresh directory for one test, removed with everything in it afterwards.

#include <filesystem>
#include <string>

namespace veltest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

// Writes text to a file (creating parent directories) and returns its path.
std::filesystem::path writeTextFile(const std::filesystem::path& file, const std::string& text);

// The whole content of a file; empty when it cannot be read.
std::string readTextFile(const std::filesystem::path& file);

}  // namespace veltest
