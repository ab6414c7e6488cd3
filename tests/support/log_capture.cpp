#include "support/log_capture.h"

#include "core/nlogger.h"
#include "support/temp_dir.h"

#include <spdlog/sinks/base_sink.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace veltest {
namespace {

// Every line since the oldest living capture began, each with its number in
// the order the process logged them.
class CapturingSink final : public spdlog::sinks::base_sink<std::mutex> {
public:
    // A capture begins: the number of the next line. With no other capture
    // alive, the lines held so far are of no use to anyone and are dropped.
    std::size_t begin() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (captures_++ == 0) {
            first_ += lines_.size();
            lines_.clear();
        }
        return first_ + lines_.size();
    }
    void end() {
        std::lock_guard<std::mutex> lock(mutex_);
        --captures_;
    }
    std::size_t next() {
        std::lock_guard<std::mutex> lock(mutex_);
        return first_ + lines_.size();
    }
    // The lines numbered from `from` on, and the number after the last.
    std::pair<std::vector<LoggedLine>, std::size_t> since(std::size_t from) {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::size_t skip = std::min(lines_.size(), from - std::min(from, first_));
        return {std::vector<LoggedLine>(lines_.begin() + static_cast<std::ptrdiff_t>(skip), lines_.end()),
                first_ + lines_.size()};
    }

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
        lines_.push_back({msg.level, std::string(msg.payload.data(), msg.payload.size())});
    }
    void flush_() override {}

private:
    std::size_t first_ = 0;  // number of lines_[0]
    std::vector<LoggedLine> lines_;
    int captures_ = 0;
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

bool isError(const LoggedLine& line) { return line.level >= spdlog::level::err && line.level != spdlog::level::off; }

}  // namespace

LogCapture::LogCapture() : start_(attachedSink()->begin()), from_(start_) {}

LogCapture::~LogCapture() {
    const auto [held, end] = attachedSink()->since(start_);
    attachedSink()->end();
    std::vector<std::string> unread;
    const std::size_t first = end - held.size();
    for (std::size_t i = 0; i < held.size(); ++i) {
        if (isError(held[i]) && !read(first + i)) {
            unread.push_back(held[i].text);
        }
    }
    failOnUnexpected(unread);
}

std::vector<LoggedLine> LogCapture::lines() const {
    auto [held, end] = attachedSink()->since(from_);
    readRanges_.emplace_back(end - held.size(), end);
    return std::move(held);
}

std::vector<std::string> LogCapture::errors() const {
    std::vector<std::string> texts;
    for (const auto& line : lines()) {
        if (line.level == spdlog::level::err) {
            texts.push_back(line.text);
        }
    }
    return texts;
}

void LogCapture::clear() { from_ = attachedSink()->next(); }

bool LogCapture::read(std::size_t number) const {
    return std::any_of(readRanges_.begin(), readRanges_.end(),
                       [&](const auto& range) { return number >= range.first && number < range.second; });
}

}  // namespace veltest
