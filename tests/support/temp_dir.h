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

// CSV data lines as the library appends them, given with LF ends: in text
// mode, so on Windows each ends with CR LF (header lines keep LF).
std::string dataLines(const std::string& lines);

// A path as a JSON string holds it (without the quotes): backslashes doubled.
std::string pathInJson(const std::string& path);

}  // namespace veltest
