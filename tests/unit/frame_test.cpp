// Framing of requests and replies, fed from byte strings split at every offset.

#include "net/frame.h"
#include "net/reply_line_parser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace {

using nlohmann::json;
using vel::frame::encodeRequest;
using vel::frame::readReply;

// Delivers the bytes in the given pieces, as receives from a socket would.
class PiecewiseSource final : public ByteSource {
public:
    explicit PiecewiseSource(std::vector<std::string> pieces) : pieces_(std::move(pieces)) {}

    bool readByte(uint8_t& byte) override {
        if (!nextNonEmpty()) {
            return false;
        }
        byte = static_cast<uint8_t>(pieces_[index_][offset_++]);
        return true;
    }

    bool readExact(uint8_t* destination, size_t n) override {
        while (n > 0) {
            if (!nextNonEmpty()) {
                return false;
            }
            const std::string& piece = pieces_[index_];
            const size_t take = std::min(n, piece.size() - offset_);
            std::memcpy(destination, piece.data() + offset_, take);
            offset_ += take;
            destination += take;
            n -= take;
        }
        return true;
    }

    void readUntilLineFeed(std::string& buffer, size_t maxSize) override {
        while (buffer.find('\n') == std::string::npos) {
            if (!nextNonEmpty()) {
                throw std::runtime_error("read_until: End of file");
            }
            // One receive hands over the rest of the current piece.
            buffer.append(pieces_[index_].substr(offset_));
            offset_ = pieces_[index_].size();
            if (buffer.size() > maxSize) {
                throw std::runtime_error("read_until: Element not found");
            }
        }
    }

    size_t unread() const {
        size_t n = 0;
        for (size_t i = index_; i < pieces_.size(); ++i) {
            n += pieces_[i].size() - (i == index_ ? offset_ : 0);
        }
        return n;
    }

private:
    bool nextNonEmpty() {
        while (index_ < pieces_.size() && offset_ == pieces_[index_].size()) {
            ++index_;
            offset_ = 0;
        }
        return index_ < pieces_.size();
    }

    std::vector<std::string> pieces_;
    size_t index_ = 0;
    size_t offset_ = 0;
};

std::string header(uint32_t n) {
    return {static_cast<char>(n >> 24), static_cast<char>((n >> 16) & 0xFF), static_cast<char>((n >> 8) & 0xFF),
            static_cast<char>(n & 0xFF)};
}

// Every way of cutting the bytes into two receives.
std::vector<std::vector<std::string>> allSplits(const std::string& bytes) {
    std::vector<std::vector<std::string>> splits;
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        splits.push_back({bytes.substr(0, cut), bytes.substr(cut)});
    }
    return splits;
}

std::string runtimeErrorOf(const std::string& bytes) {
    PiecewiseSource source({bytes});
    try {
        readReply(source);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no error";
}

TEST(RequestEncoding, IsCompactSortedJsonEndedByOneLineFeed) {
    const json request = {{"cmd", "set_dac"}, {"channel", 3}, {"value", -120}};
    EXPECT_EQ(encodeRequest(request), "{\"channel\":3,\"cmd\":\"set_dac\",\"value\":-120}\n");
}

TEST(RequestEncoding, KeepsIntegersAndFloatingPointNumbersApart) {
    EXPECT_EQ(encodeRequest({{"cmd", "x"}, {"a", 2.0}, {"b", 2}, {"c", 0.1}, {"d", -1.5e-300}}),
              "{\"a\":2.0,\"b\":2,\"c\":0.1,\"cmd\":\"x\",\"d\":-1.5e-300}\n");
}

TEST(RequestEncoding, WritesNonAsciiTextAsRawUtf8) {
    EXPECT_EQ(encodeRequest({{"cmd", "x"}, {"file_name", "mess\xC3\xA9"}}),
              "{\"cmd\":\"x\",\"file_name\":\"mess\xC3\xA9\"}\n");
}

TEST(RequestEncoding, RefusesTextThatIsNotUtf8) {
    EXPECT_THROW(encodeRequest({{"cmd", "x"}, {"file_name", "bad\xFF"}}), json::type_error);
}

TEST(JsonReply, ParsesAnObjectSplitAtEveryOffset) {
    const std::string bytes = "{\"data\":{\"status\":0,\"value\":5},\"result\":0}\n";
    for (auto& pieces : allSplits(bytes)) {
        PiecewiseSource source(pieces);
        const CommandResponse response = readReply(source);
        ASSERT_TRUE(response.isJson());
        EXPECT_EQ(response.getJson()["data"]["value"], 5);
    }
}

TEST(JsonReply, IgnoresCarriageReturnBeforeLineFeed) {
    PiecewiseSource source({"{\"result\":0}\r\n"});
    EXPECT_EQ(readReply(source).getJson(), json({{"result", 0}}));
}

TEST(JsonReply, AcceptsAnArrayAndDropsBytesAfterTheLineFeed) {
    PiecewiseSource source({"[1,2]\n{\"late\":1}"});
    EXPECT_EQ(readReply(source).getJson(), json({1, 2}));
    EXPECT_EQ(source.unread(), 0u);
}

TEST(JsonReply, ReplySpreadOverTwoLinesIsAParseError) {
    PiecewiseSource source({"{\"result\":\n0}\n"});
    EXPECT_THROW(readReply(source), json::parse_error);
}

TEST(JsonReply, TrailingTextIsAParseError) {
    PiecewiseSource source({"{\"result\":0} x\n"});
    EXPECT_THROW(readReply(source), json::parse_error);
}

TEST(JsonReply, EndOfStreamBeforeLineFeedIsAReadUntilError) {
    PiecewiseSource source({"{\"result\":0}"});
    try {
        readReply(source);
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("read_until", 0), 0u) << e.what();
    }
}

// The same document as the JSON library's parser, value types included (the
// library's == takes 1 and 1.0, or signed and unsigned 5, as equal).
bool sameDocument(const json& a, const json& b) {
    if (a.type() != b.type() || a.size() != b.size()) {
        return false;
    }
    if (a.is_object()) {
        for (auto member = a.begin(); member != a.end(); ++member) {
            if (!b.contains(member.key()) || !sameDocument(member.value(), b.at(member.key()))) {
                return false;
            }
        }
        return true;
    }
    if (a.is_array()) {
        for (size_t i = 0; i < a.size(); ++i) {
            if (!sameDocument(a[i], b[i])) {
                return false;
            }
        }
        return true;
    }
    return a == b || (a.is_number_float() && std::isnan(a.get<double>()) && std::isnan(b.get<double>()));
}

TEST(JsonReply, LineGivesTheJsonLibrarysDocumentOrItsError) {
    const char* const lines[] = {
        "{\"result\":0}", "{}", "{\"data\":{\"status\":0,\"value\":0.25},\"result\":0}",
        "{\"result\":-3,\"data\":-0}", "{\"a\":-0.0,\"b\":1E5,\"c\":2.5e-3,\"d\":1.0}",
        "{\"big\":123456789012345678,\"bigger\":12345678901234567890,\"huger\":123456789012345678901}",
        "{\"neg\":-123456789012345678,\"negbig\":-9223372036854775809}",
        "{\"tiny\":1e-320,\"inf\":1e999}", "{\"x\":1,\"x\":2}", "{\"t\":true,\"f\":false,\"n\":null}",
        "{\"s\":\"caf\u00e9\"}", "{\"s\":\"a\\\"b\"}", "{\"s\":\"\xc3\xa9\"}", "{\"a\":[1,2]}", "{ \"a\":1}",
        "{\"a\":{\"b\":{\"c\":{}}}}", "{\"a\":01}", "{\"a\":1.}", "{\"a\":.5}", "{\"a\":+1}", "{\"a\":1e}",
        "{\"a\":tru}", "{\"a\":1,}", "{\"a\"}", "{\"a\":1", "{\"a\":1}x", "{\"a\":\"\x01\"}", "[1,2]",
        "{\"a\":-}", "{\"a\":\"unterminated}"};
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        std::string libraryError;
        json expected;
        try {
            expected = json::parse(line);
        } catch (const json::exception& e) {
            libraryError = e.what();
        }
        try {
            const json actual = vel::frame::parseReplyLine(line);
            EXPECT_TRUE(libraryError.empty()) << "parsed what the library refuses";
            EXPECT_TRUE(sameDocument(actual, expected)) << actual.dump();
        } catch (const json::exception& e) {
            EXPECT_EQ(e.what(), libraryError);
        }
    }
}

TEST(BinaryReply, ZeroLengthGivesAnEmptyPayload) {
    PiecewiseSource source({header(0)});
    const CommandResponse response = readReply(source);
    ASSERT_FALSE(response.isJson());
    EXPECT_TRUE(response.getBinary().empty());
}

TEST(BinaryReply, ReadsExactlyTheAnnouncedBytesSplitAtEveryOffset) {
    const std::string payload("\x00\x7B\n\x5B\xFF", 5);
    for (auto& pieces : allSplits(header(5) + payload + "next")) {
        PiecewiseSource source(pieces);
        const CommandResponse response = readReply(source);
        const auto& bytes = response.getBinary();
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), payload);
        EXPECT_EQ(source.unread(), 4u);
    }
}

TEST(BinaryReply, AnyFirstByteOtherThanBraceOrBracketStartsALengthHeader) {
    // ' ' 0x20, '1' 0x31, '"' 0x22: each is the most significant length byte.
    for (char first : {' ', '1', '"'}) {
        EXPECT_EQ(runtimeErrorOf(std::string(1, first) + std::string("\0\0", 2)), "Failed to read binary length header");
    }
}

TEST(BinaryReply, ShortHeaderAndShortPayloadAreReportedApart) {
    EXPECT_EQ(runtimeErrorOf(""), "Failed to read response");
    EXPECT_EQ(runtimeErrorOf(std::string("\0\0", 2)), "Failed to read binary length header");
    EXPECT_EQ(runtimeErrorOf(header(5) + "abc"), "Failed to read full binary data");
}

TEST(BinaryReply, HugeAnnouncedLengthWithFewBytesFailsWithoutReservingIt) {
    // 0x5A000000 bytes announced, ten delivered: the reader must fail on the
    // missing bytes rather than allocate 1.5 GB first (ASan would report it).
    EXPECT_EQ(runtimeErrorOf(header(0x5A000000) + "0123456789"), "Failed to read full binary data");
}

TEST(BinaryReply, PayloadLargerThanTheDirectLimitArrivesWhole) {
    const size_t n = vel::frame::kDirectPayloadBytes + 12345;
    std::string payload(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        payload[i] = static_cast<char>(i * 31);
    }
    PiecewiseSource source({header(static_cast<uint32_t>(n)), payload});
    const CommandResponse response = readReply(source);
    const auto& bytes = response.getBinary();
    ASSERT_EQ(bytes.size(), n);
    // Compared as text: a byte-wise comparison of uint8_t with char would see
    // signed/unsigned differences instead of content differences.
    EXPECT_TRUE(std::string(bytes.begin(), bytes.end()) == payload);
}

// Bytes that differ from offset to offset.
std::string patternPayload(size_t n) {
    std::string payload(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        payload[i] = static_cast<char>((i * 2654435761u) >> 13);
    }
    return payload;
}

TEST(BinaryReply, SixteenMebibytePayloadArrivesWholeInOnePieceOrInManySmallOnes) {
    const std::string payload = patternPayload(16u << 20);
    const std::string frame = header(static_cast<uint32_t>(payload.size())) + payload;
    std::vector<std::string> small;
    for (size_t at = 0; at < frame.size(); at += 1499) {
        small.push_back(frame.substr(at, 1499));
    }
    for (auto& pieces : {std::vector<std::string>{frame + "next"}, small}) {
        PiecewiseSource source(pieces);
        const CommandResponse response = readReply(source);
        const auto& bytes = response.getBinary();
        EXPECT_TRUE(std::string(bytes.begin(), bytes.end()) == payload);
    }
}

TEST(PayloadStorage, ReplacesWhatTheVectorHeldWithExactlyThePayload) {
    std::vector<uint8_t> payload(100, 0xEE);
    PiecewiseSource source({"abc", "de"});
    ASSERT_TRUE(vel::frame::readPayloadInto(source, 5, payload));
    EXPECT_EQ(std::string(payload.begin(), payload.end()), "abcde");
    EXPECT_FALSE(vel::frame::readPayloadInto(source, 1, payload));
}

TEST(PayloadStorage, SkipsExactlyTheGivenBytes) {
    const std::string bytes = patternPayload(40000) + "tail";
    PiecewiseSource source({bytes.substr(0, 20001), bytes.substr(20001)});
    ASSERT_TRUE(vel::frame::skipBytes(source, 40000));
    EXPECT_EQ(source.unread(), 4u);
    EXPECT_FALSE(vel::frame::skipBytes(source, 5));
}

// Records what the reply reader handed over and reads it as text.
class RecordingReader final : public vel::frame::PayloadReader {
public:
    bool readPayload(ByteSource& source, size_t length) override {
        ++calls;
        text.assign(length, '\0');
        return source.readExact(reinterpret_cast<uint8_t*>(text.data()), length);
    }

    int calls = 0;
    std::string text;
};

TEST(PayloadReaderReply, GetsTheBinaryPayloadSplitAtEveryOffsetAndLeavesTheResponseEmpty) {
    for (auto& pieces : allSplits(header(7) + "abc\ndef" + "next")) {
        PiecewiseSource source(pieces);
        RecordingReader reader;
        const CommandResponse response = readReply(source, reader);
        ASSERT_FALSE(response.isJson());
        EXPECT_TRUE(response.getBinary().empty());
        EXPECT_EQ(reader.calls, 1);
        EXPECT_EQ(reader.text, "abc\ndef");
        EXPECT_EQ(source.unread(), 4u);
    }
}

TEST(PayloadReaderReply, IsNotAskedForJsonOrBeforeTheHeaderIsComplete) {
    RecordingReader reader;
    PiecewiseSource jsonReply({"{\"result\":0}\n"});
    EXPECT_EQ(readReply(jsonReply, reader).getJson(), json({{"result", 0}}));
    PiecewiseSource shortHeader({std::string("\0\0", 2)});
    EXPECT_THROW(readReply(shortHeader, reader), std::runtime_error);
    EXPECT_EQ(reader.calls, 0);
}

TEST(PayloadReaderReply, ReaderThatRunsOutOfBytesIsAFullDataError) {
    RecordingReader reader;
    PiecewiseSource source({header(5) + "abc"});
    try {
        readReply(source, reader);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Failed to read full binary data");
    }
}

}  // namespace
