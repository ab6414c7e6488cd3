#pragma once
// Where a measurement writes its CSV output: folder (default "output") resolved
// against the session base directory, the file name (or the kind's default
// name) with the name suffix inserted before its extension and, when it has
// no extension, "_", a timestamp and the kind's extension appended.

#include <string>

// Returns the full output path, or the empty string when there is neither a
// file name nor a default file name. folder and fileName may be null.
std::string makeOutputFilePath(const char* folder, const char* fileName,
                               const std::string& extension, const std::string& nameSuffix,
                               const std::string& sessionBaseDir,
                               const std::string& defaultFileName);
