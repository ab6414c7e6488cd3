#include "core/nlogger.h"

#include "core/io_utils.h"

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <iostream>
#include <map>
#include <mutex>

namespace {

struct LoggerMap {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<spdlog::logger>> loggers;
};

LoggerMap& loggerMap() {
    static LoggerMap map;
    return map;
}

}  // namespace

void NLogger::outliveSessions() {
    loggerMap();
}

std::shared_ptr<spdlog::logger> NLogger::getLogger(const std::string& basePath, int maxFileSize, int maxFiles) {
    LoggerMap& map = loggerMap();
    std::lock_guard<std::mutex> lock(map.mutex);
    if (auto found = map.loggers.find(kDefaultLoggerName); found != map.loggers.end()) {
        return found->second;
    }
    auto logger = createLogger(basePath, kDefaultLoggerName, maxFileSize, maxFiles);
    if (logger) {
        map.loggers.emplace(kDefaultLoggerName, logger);
    }
    return logger;
}

std::shared_ptr<spdlog::logger> NLogger::createLogger(const std::string& basePath, const std::string& loggerName,
                                                      int maxFileSize, int maxFiles) {
    try {
        const std::string logDir = ksq::CIOUtils::resolveBasePath("log", basePath);
        const std::string fileName = logDir + "/" + loggerName + ".log";
        // The file system's form of the name: wide on Windows, so that any
        // folder name works there.
        const spdlog::filename_t sinkFileName = ksq::CIOUtils::fromUtf8String(fileName).native();
        auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
            sinkFileName, static_cast<size_t>(maxFileSize), static_cast<size_t>(maxFiles), false);
        auto logger = std::make_shared<spdlog::logger>(loggerName, std::move(sink));
        // Not put in the logging library's registry: that registry is
        // destroyed at process exit, while a worker thread may still be
        // creating the logger for its first message. The map above is the
        // only lookup the library uses, and the library's copy of the logging
        // library is not visible to callers.
        logger->set_level(spdlog::level::info);
        logger->flush_on(spdlog::level::info);
        return logger;
    } catch (const spdlog::spdlog_ex& e) {
        std::cerr << "Log initialization failed: " << e.what() << std::endl;
        return nullptr;
    }
}
