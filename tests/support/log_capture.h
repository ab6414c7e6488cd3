#pragma once
// Captures what the library writes to its "veltranoapi" logger, so tests can
// assert on the exact lines a failure produces. The capturing sink is attached
// once per process to the library logger; each LogCapture starts empty.

#include <spdlog/common.h>

#include <string>
#include <vector>

namespace veltest {

struct LoggedLine {
    spdlog::level::level_enum level;
    std::string text;
};

class LogCapture {
public:
    LogCapture();
    std::vector<LoggedLine> lines() const;
    std::vector<std::string> errors() const;  // texts of error-level lines
    void clear();
};

}  // namespace veltest
