#include "core/nlogger.h"

#include "core/io_utils.h"

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <iostream>
#include <map>
#include <mutex>

namespace {

std::map<std::string, std::shared_ptr<spdlog::logger>>& get_loggers() {
    static std::map<std::string, std::shared_ptr<spdlog::logger>> loggers;
    return loggers;
}

std::mutex& get_logger_mutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

std::shared_ptr<spdlog::logger> NLogger::getLogger(const std::string& basePath, int maxFileSize,
                                                   int maxFiles) {
    std::lock_guard<std::mutex> lock(get_logger_mutex());
    auto& loggers = get_loggers();
    if (auto found = loggers.find(kDefaultLoggerName); found != loggers.end()) {
        return found->second;
    }
    auto logger = createLogger(basePath, kDefaultLoggerName, maxFileSize, maxFiles);
    if (logger) {
        loggers.emplace(kDefaultLoggerName, logger);
    }
    return logger;
}

std::shared_ptr<spdlog::logger> NLogger::createLogger(const std::string& basePath,
                                                      const std::string& loggerName,
                                                      int maxFileSize, int maxFiles) {
    try {
        const std::string logDir = ksq::CIOUtils::resolveBasePath("log", basePath);
        const std::string fileName = logDir + "/" + loggerName + ".log";
        auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
            fileName, static_cast<size_t>(maxFileSize), static_cast<size_t>(maxFiles), false);
        auto logger = std::make_shared<spdlog::logger>(loggerName, std::move(sink));
        // Registering keeps the logging library's own bookkeeping in step; a
        // stale registration under the same name (a failed earlier attempt
        // cannot leave one, but be safe) is replaced.
        spdlog::drop(loggerName);
        spdlog::register_logger(logger);
        logger->set_level(spdlog::level::info);
        logger->flush_on(spdlog::level::info);
        return logger;
    } catch (const spdlog::spdlog_ex& e) {
        std::cerr << "Log initialization failed: " << e.what() << std::endl;
        return nullptr;
    }
}
