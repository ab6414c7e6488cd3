#include "sim/model/acquisition/service_paths.h"

namespace veltrano::sim {

std::filesystem::path resolveServicePath(const std::string& data_dir, const std::string& path) {
    const std::filesystem::path given(path);
    if (given.is_absolute()) return given;
    const std::filesystem::path base(data_dir.empty() ? std::string(".") : data_dir);
    return path.empty() ? base : base / given;
}

std::filesystem::path analysisRecordPath(const std::string& data_dir, const std::string& folder_path,
                                         const std::string& file_name, const std::string& suffix) {
    std::filesystem::path stem(file_name);
    stem.replace_extension();
    return resolveServicePath(data_dir, folder_path) / (stem.string() + suffix);
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

std::string hexOutputName(const std::string& bin_file, const std::string& hex_file) {
    if (!hex_file.empty() && hex_file != bin_file) {
        return std::filesystem::path(hex_file).extension().empty() ? hex_file + ".dat" : hex_file;
    }
    std::filesystem::path stem(bin_file);
    stem.replace_extension();
    return stem.string() + "_convert.dat";
}

}  // namespace veltrano::sim
