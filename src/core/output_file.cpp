#include "core/output_file.h"

#include "core/io_utils.h"
#include "core/output_file_path.h"
#include "core/session_context.h"
#include "core/string_utils.h"

namespace vel {

std::string createOutputFile(const SessionContext& session, const char* folder, const char* fileName, const char* nameSuffix,
                             const char* extension, const char* defaultFileName, const char* headerLine) {
    using ksq::CStringUtils;
    if (CStringUtils::isEmpty(fileName) && CStringUtils::isEmpty(defaultFileName)) {
        return {};
    }
    const std::string suffix = CStringUtils::safe_string(nameSuffix);
    const std::string path = makeOutputFilePath(folder, fileName, CStringUtils::safe_string(extension), suffix,
                                                session.baseDir, CStringUtils::safe_string(defaultFileName));
    if (path.empty()) {
        session.logError("Create output file path failed for file name: " + CStringUtils::safe_string(fileName) +
                             suffix);
        return {};
    }
    ksq::CIOUtils::writeFile(path, CStringUtils::safe_string(headerLine), {}, false);
    return path;
}

}  // namespace vel
