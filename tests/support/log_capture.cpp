#include "support/log_capture.h"

#include "core/nlogger.h"
#include "support/temp_dir.h"

#include <spdlog/sinks/base_sink.h>

#include <memory>
#include <mutex>

namespace veltest {
namespace {

class CapturingSink final : public spdlog::sinks::base_sink<std::mutex> {
public:
    std::vector<LoggedLine> snapshot() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    void reset() {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
    }

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
        lines_.push_back({msg.level, std::string(msg.payload.data(), msg.payload.size())});
    }
    void flush_() override {}

private:
    std::vector<LoggedLine> lines_;
};

std::shared_ptr<CapturingSink> attachedSink() {
    static std::shared_ptr<CapturingSink> sink = [] {
        // The library logger writes under the base directory of its first user;
        // tests give it a directory of their own that outlives every test.
        static TempDir logBase;
        auto captured = std::make_shared<CapturingSink>();
        auto logger = NLogger::getLogger(logBase.str(), NLogger::kMaxFileSize, NLogger::kMaxFiles);
        if (logger) {
            logger->sinks().push_back(captured);
        }
        return captured;
    }();
    return sink;
}

}  // namespace

LogCapture::LogCapture() { clear(); }

std::vector<LoggedLine> LogCapture::lines() const { return attachedSink()->snapshot(); }

std::vector<std::string> LogCapture::errors() const {
    std::vector<std::string> texts;
    for (const auto& line : lines()) {
        if (line.level == spdlog::level::err) {
            texts.push_back(line.text);
        }
    }
    return texts;
}

void LogCapture::clear() { attachedSink()->reset(); }

}  // namespace veltest
