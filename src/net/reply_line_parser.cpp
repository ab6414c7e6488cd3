#include "net/reply_line_parser.h"

#include <charconv>
#include <cstdint>
#include <optional>

namespace vel::frame {
namespace {

using nlohmann::json;

// Deeper objects are left to the JSON library.
constexpr int kMaxDepth = 16;
// Integers of up to this many digits fit a signed 64-bit value.
constexpr size_t kMaxIntegerDigits = 18;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The direct pass over the line; every read returns false (instead of
// guessing) for anything outside the plain subset.
class PlainReplyReader {
public:
    explicit PlainReplyReader(std::string_view text) : text_(text) {}

    std::optional<json> document() {
        json result;
        if (peek() != '{' || !readObject(result, 0) || position_ != text_.size()) {
            return std::nullopt;
        }
        return result;
    }

private:
    char peek() const { return position_ < text_.size() ? text_[position_] : '\0'; }

    bool take(char expected) {
        if (peek() != expected) {
            return false;
        }
        ++position_;
        return true;
    }

    bool readObject(json& target, int depth) {
        if (depth >= kMaxDepth || !take('{')) {
            return false;
        }
        target = json(json::value_t::object);
        if (take('}')) {
            return true;
        }
        do {
            std::string_view key;
            if (!readString(key) || !take(':')) {
                return false;
            }
            // A repeated key keeps its last value, as the JSON library does.
            if (!readValue(target[std::string(key)], depth)) {
                return false;
            }
        } while (take(','));
        return take('}');
    }

    bool readValue(json& target, int depth) {
        const char c = peek();
        if (c == '{') {
            return readObject(target, depth + 1);
        }
        if (c == '"') {
            std::string_view text;
            if (!readString(text)) {
                return false;
            }
            target = std::string(text);
            return true;
        }
        if (c == '-' || isDigit(c)) {
            return readNumber(target);
        }
        return readLiteral(target, "true", json(true)) || readLiteral(target, "false", json(false)) ||
               readLiteral(target, "null", json(nullptr));
    }

    bool readLiteral(json& target, std::string_view word, json value) {
        if (text_.substr(position_, word.size()) != word) {
            return false;
        }
        position_ += word.size();
        target = std::move(value);
        return true;
    }

    // Printable ASCII without escapes only.
    bool readString(std::string_view& text) {
        if (!take('"')) {
            return false;
        }
        const size_t start = position_;
        for (;;) {
            const char c = peek();
            if (c == '"') {
                text = text_.substr(start, position_ - start);
                ++position_;
                return true;
            }
            if (c < 0x20 || c > 0x7E || c == '\\') {
                return false;
            }
            ++position_;
        }
    }

    // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?, as the JSON grammar has
    // it; integers become signed (negative) or unsigned (otherwise) values and
    // the rest doubles, as the JSON library reads them.
    bool readNumber(json& target) {
        const size_t start = position_;
        const bool negative = take('-');
        const size_t digitsStart = position_;
        if (take('0')) {
            if (isDigit(peek())) {
                return false;
            }
        } else {
            while (isDigit(peek())) {
                ++position_;
            }
        }
        const size_t integerDigits = position_ - digitsStart;
        if (integerDigits == 0) {
            return false;
        }
        bool isInteger = true;
        if (take('.')) {
            isInteger = false;
            if (!isDigit(peek())) {
                return false;
            }
            while (isDigit(peek())) {
                ++position_;
            }
        }
        if (peek() == 'e' || peek() == 'E') {
            isInteger = false;
            ++position_;
            if (peek() == '+' || peek() == '-') {
                ++position_;
            }
            if (!isDigit(peek())) {
                return false;
            }
            while (isDigit(peek())) {
                ++position_;
            }
        }
        const char* first = text_.data() + start;
        const char* last = text_.data() + position_;
        if (isInteger) {
            if (integerDigits > kMaxIntegerDigits) {
                return false;
            }
            int64_t value = 0;
            if (std::from_chars(first, last, value).ec != std::errc()) {
                return false;
            }
            target = negative ? json(value) : json(static_cast<uint64_t>(value));
            return true;
        }
        double value = 0;
        const auto converted = std::from_chars(first, last, value);
        if (converted.ec != std::errc() || converted.ptr != last) {
            return false;  // out of range: the JSON library decides
        }
        target = value;
        return true;
    }

    std::string_view text_;
    size_t position_ = 0;
};

}  // namespace

nlohmann::json parseReplyLine(std::string_view line) {
    if (std::optional<json> document = PlainReplyReader(line).document()) {
        return std::move(*document);
    }
    return json::parse(line);
}

}  // namespace vel::frame
