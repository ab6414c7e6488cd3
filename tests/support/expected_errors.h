#pragma once
// The error lines a test means the library to log: each exactly a declared
// text, or containing a declared fragment. The log checks (LogCapture in the
// unit program, the end-to-end fixture's look at the log file) fail the test
// on every other error line.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace veltest {

class ExpectedErrors {
public:
    void expectError(std::string text) { texts_.push_back(std::move(text)); }
    void expectErrorContaining(std::string fragment) { fragments_.push_back(std::move(fragment)); }

protected:
    // Fails the current test with every line no declaration covers.
    void failOnUnexpected(const std::vector<std::string>& errorLines) const {
        std::string unexpected;
        for (const std::string& line : errorLines) {
            if (!expected(line)) {
                unexpected += "\n  " + line;
            }
        }
        if (!unexpected.empty()) {
            ADD_FAILURE() << "the library logged error lines this test did not expect:" << unexpected;
        }
    }

private:
    bool expected(const std::string& line) const {
        return std::find(texts_.begin(), texts_.end(), line) != texts_.end() ||
               std::any_of(fragments_.begin(), fragments_.end(),
                           [&](const std::string& fragment) { return line.find(fragment) != std::string::npos; });
    }

    std::vector<std::string> texts_;
    std::vector<std::string> fragments_;
};

}  // namespace veltest
