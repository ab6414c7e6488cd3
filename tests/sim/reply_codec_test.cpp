#include <gtest/gtest.h>

#include "sim/protocol/reply_codec.h"

namespace veltrano::sim {
namespace {

TEST(ReplyCodec, JsonRepliesAreOneCompactLine) {
    EXPECT_EQ(encodeReply(valueReply(12)), "{\"data\":{\"status\":0,\"value\":12},\"result\":0}\n");
    const std::string text = encodeReply(errorReply(ResultCode::BadParameter, "two\nlines"));
    EXPECT_EQ(text.find('\n'), text.size() - 1);
    EXPECT_EQ(text.front(), '{');
}

TEST(ReplyCodec, InvalidUtf8InAnErrorTextIsReplacedNotThrown) {
    std::string text;
    ASSERT_NO_THROW(text = encodeReply(errorReply(ResultCode::UnknownCommand, std::string("bad \xc3\x28 text"))));
    EXPECT_EQ(nlohmann::json::parse(text)["result"], 1);
}

TEST(ReplyCodec, BinaryRepliesCarryABigEndianLengthBeforeThePayload) {
    EXPECT_EQ(encodeReply(binaryReply(std::vector<std::uint8_t>{})), std::string(4, '\0'));
    std::vector<std::uint8_t> payload(0x010203, 0xab);
    const std::string bytes = encodeReply(binaryReply(payload));
    ASSERT_EQ(bytes.size(), 4u + payload.size());
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x00\x01\x02\x03", 4));
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[4]), 0xab);
}

TEST(ReplyCodec, SharedPayloadsAreFramedLikeOwnedOnes) {
    const auto shared = std::make_shared<const std::vector<std::uint8_t>>(std::vector<std::uint8_t>{1, 2, 3});
    const Reply reply = binaryReply(shared);
    EXPECT_TRUE(isSendableBinary(reply));
    EXPECT_EQ(encodeReply(reply), std::string("\x00\x00\x00\x03\x01\x02\x03", 7));
    EXPECT_EQ(encodeReply(binaryReply(SharedPayload{})), std::string(4, '\0'));
    EXPECT_FALSE(isSendableBinary(okReply()));
}

}  // namespace
}  // namespace veltrano::sim
