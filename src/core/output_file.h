#pragma once
// Preparation of a measurement's CSV output file: name it (default folder
// "output" under the session base directory, timestamp and extension for names
// without one) and create it with its header line. The caller appends rows.

#include <string>

namespace vel {

class SessionContext;

// Returns the full path, or the empty string when no name is given or no path
// can be formed (the latter is logged). A file that cannot
// be created is not reported here: the caller's later writes fail.
std::string createOutputFile(const SessionContext& session, const char* folder, const char* fileName, const char* nameSuffix,
                             const char* extension, const char* defaultFileName, const char* headerLine);

}  // namespace vel
