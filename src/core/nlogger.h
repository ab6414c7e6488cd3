#pragma once
// The process-wide library logger. One logger named "veltranoapi" writes
// log/veltranoapi.log under the base directory of the first session that logs;
// it rotates at the given size and keeps the given number of files. Creation is
// retried on every call until it succeeds once.

#include <spdlog/logger.h>

#include <memory>
#include <string>

class NLogger {
public:
    static constexpr const char* kDefaultLoggerName = "veltranoapi";
    static constexpr int kMaxFileSize = 1048576;
    static constexpr int kMaxFiles = 10;

    // Returns the library logger, creating it for basePath on first use;
    // an empty pointer when the log file cannot be opened.
    static std::shared_ptr<spdlog::logger> getLogger(const std::string& basePath, int maxFileSize, int maxFiles);

    // Sets the logger map up now. Static objects are destroyed in the reverse
    // order of their construction, so the session registry calls this first
    // and the sessions it releases at process exit can still log.
    static void outliveSessions();

private:
    static std::shared_ptr<spdlog::logger> createLogger(const std::string& basePath, const std::string& loggerName,
                                                        int maxFileSize, int maxFiles);
};
