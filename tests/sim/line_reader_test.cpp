#include <gtest/gtest.h>

#include "sim/server/line_reader.h"

namespace veltrano::sim {
namespace {

std::vector<std::string> describe(const std::vector<LineReader::Item>& items) {
    std::vector<std::string> out;
    for (const auto& item : items) out.push_back(item.tooLong ? "<too long>" : item.line);
    return out;
}

TEST(LineReader, GivesTheSameLinesWhereverTheBytesAreSplit) {
    const std::string bytes = "{\"cmd\":\"a\"}\n\r\n{\"cmd\":\"b\"}\r\nlast";
    const std::vector<std::string> expected{"{\"cmd\":\"a\"}", "", "{\"cmd\":\"b\"}"};
    for (std::size_t split = 0; split <= bytes.size(); ++split) {
        LineReader reader(1024);
        auto items = describe(reader.feed(std::string_view(bytes).substr(0, split)));
        const auto rest = describe(reader.feed(std::string_view(bytes).substr(split)));
        items.insert(items.end(), rest.begin(), rest.end());
        EXPECT_EQ(items, expected) << "split at " << split;
    }
}

TEST(LineReader, ReportsAnOverlongLineOnceAndGoesOnWithTheNext) {
    LineReader reader(8);
    EXPECT_EQ(describe(reader.feed("12345678\n")), std::vector<std::string>{"12345678"});
    EXPECT_EQ(describe(reader.feed("123456789")), std::vector<std::string>{"<too long>"});
    EXPECT_TRUE(reader.feed(std::string(100000, 'x')).empty());
    EXPECT_EQ(describe(reader.feed("yy\nok\n")), std::vector<std::string>{"ok"});
}

TEST(LineReader, KeepsBinaryBytesOfALineAsTheyCame) {
    LineReader reader(64);
    const std::string garbage("\x00\xff\x7b\r\x01", 5);
    const auto items = reader.feed(garbage + "\n");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].line, garbage);
}

}  // namespace
}  // namespace veltrano::sim
