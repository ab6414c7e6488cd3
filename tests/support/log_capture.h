#pragma once
// Captures what the library writes to its "veltranoapi" logger, so tests can
// assert on the exact lines a failure produces. The capturing sink is attached
// once per process to the library logger; each LogCapture starts empty.
//
// A capture fails its test when it ends (at the test's teardown, for a
// fixture's member) if the library wrote an error or critical line that the
// test neither declared (expectError, expectErrorContaining) nor read through
// lines() or errors(): a test that reads the lines asserts on them itself.
// clear() does not excuse the lines it drops.

#include "support/expected_errors.h"

#include <spdlog/common.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace veltest {

struct LoggedLine {
    spdlog::level::level_enum level;
    std::string text;
};

class LogCapture : public ExpectedErrors {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LoggedLine> lines() const;
    std::vector<std::string> errors() const;  // texts of error-level lines
    void clear();

private:
    bool read(std::size_t number) const;

    std::size_t start_;  // number of the first line this capture holds
    std::size_t from_;   // first line lines() shows (moved on by clear())
    mutable std::vector<std::pair<std::size_t, std::size_t>> readRanges_;  // [first, end)
};

}  // namespace veltest
