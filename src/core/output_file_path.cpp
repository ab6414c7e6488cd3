#include "core/output_file_path.h"

#include "core/io_utils.h"
#include "core/string_utils.h"

namespace {
constexpr const char* kDefaultOutputFolder = "output";
}  // namespace

std::string makeOutputFilePath(const char* folder, const char* fileName,
                               const std::string& extension, const std::string& nameSuffix,
                               const std::string& sessionBaseDir,
                               const std::string& defaultFileName) {
    std::string folderText = ksq::CStringUtils::safe_string(folder);
    if (folderText.empty()) {
        folderText = kDefaultOutputFolder;
    }
    std::string name = ksq::CStringUtils::safe_string(fileName);
    if (name.empty()) {
        name = defaultFileName;
    }
    if (name.empty()) {
        return {};
    }
    const std::string dir = ksq::CIOUtils::resolveBasePath(folderText, sessionBaseDir);
    if (dir.empty()) {
        return {};
    }
    ksq::CIOUtils::suffixFileName(name, nameSuffix);
    ksq::CIOUtils::prepareFileName(name, extension);
    return dir + "/" + name;
}
