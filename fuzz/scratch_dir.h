#pragma once
// A private folder under /tmp for the files a fuzz target makes, removed with
// everything in it when the target exits.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

class ScratchDir {
public:
    explicit ScratchDir(const std::string& name) {
        std::string pattern = "/tmp/" + name + ".XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};
