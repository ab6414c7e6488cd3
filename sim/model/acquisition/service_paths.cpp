#include "sim/model/acquisition/service_paths.h"

namespace veltrano::sim {

std::filesystem::path resolveServicePath(const std::string& dataDir, const std::string& path) {
    const std::filesystem::path given(path);
    if (given.is_absolute()) return given;
    const std::filesystem::path base(dataDir.empty() ? std::string(".") : dataDir);
    return path.empty() ? base : base / given;
}

std::filesystem::path analysisRecordPath(const std::string& dataDir, const std::string& folderPath,
                                         const std::string& fileName, const std::string& suffix) {
    std::filesystem::path stem(fileName);
    stem.replace_extension();
    return resolveServicePath(dataDir, folderPath) / (stem.string() + suffix);
}

std::filesystem::path volumePath(const std::filesystem::path& first, std::size_t index) {
    if (index == 0) return first;
    const std::string name = first.filename().string();
    const std::string suffix = "_" + std::to_string(index);
    const std::size_t dot = name.rfind('.');
    const std::string indexed =
        dot == std::string::npos || dot == 0 ? name + suffix : name.substr(0, dot) + suffix + name.substr(dot);
    return first.parent_path() / indexed;
}

std::string hexOutputName(const std::string& binFile, const std::string& hexFile) {
    if (!hexFile.empty() && hexFile != binFile) {
        return std::filesystem::path(hexFile).extension().empty() ? hexFile + ".dat" : hexFile;
    }
    std::filesystem::path stem(binFile);
    stem.replace_extension();
    return stem.string() + "_convert.dat";
}

}  // namespace veltrano::sim
