// The raw acquisition's byte formats, as documented in sim/README.md.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/model/common/fnv1a.h"
#include "sim/model/acquisition/raw_record_format.h"
#include "sim/model/acquisition/stream_pattern.h"

namespace veltrano::sim {
namespace {

std::vector<std::uint8_t> encode(RawDataFormat format, const Event& e, std::int64_t t, std::uint32_t sequence) {
    unsigned char out[kMaxRawRecordBytes];
    const std::size_t n = encodeRawRecord(format, e, t, sequence, out);
    return std::vector<std::uint8_t>(out, out + n);
}

const Event kEvent{999, 3, 8012, 661.8421f};

TEST(RawRecordFormat, TimeTagsArePacked16ByteLittleEndianRecords) {
    const std::vector<std::uint8_t> expected{0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,  // time_ps
                                             0x03, 0x00, 0x00, 0x00,                          // channel
                                             0x78, 0x56, 0x34, 0x12};                         // sequence
    EXPECT_EQ(encode(RawDataFormat::TimeTags, kEvent, 0x0102030405060708, 0x12345678), expected);
}

TEST(RawRecordFormat, PulseRecordsAppendWidthAndEnergyToTheTimeTag) {
    const std::vector<std::uint8_t> record = encode(RawDataFormat::TimeTagsWithPulses, kEvent, 42, 7);
    ASSERT_EQ(record.size(), 24u);
    EXPECT_EQ(std::vector<std::uint8_t>(record.begin(), record.begin() + 16),
              encode(RawDataFormat::TimeTags, kEvent, 42, 7));
    EXPECT_EQ(std::vector<std::uint8_t>(record.begin() + 16, record.begin() + 20),
              (std::vector<std::uint8_t>{0x4c, 0x1f, 0x00, 0x00}));  // 8012
    float energy = 0;
    std::memcpy(&energy, record.data() + 20, 4);
    EXPECT_EQ(energy, 661.8421f);
}

TEST(RawRecordFormat, CsvIsOneLineWithThreeEnergyDecimals) {
    const std::vector<std::uint8_t> line = encode(RawDataFormat::CsvText, kEvent, 1523000, 0);
    EXPECT_EQ(std::string(line.begin(), line.end()), "1523000,3,8012,661.842\n");
    const Event extreme{0, 64, 1000000000, 0.0f};
    const std::vector<std::uint8_t> wide = encode(RawDataFormat::CsvText, extreme, INT64_MAX, 0);
    EXPECT_EQ(std::string(wide.begin(), wide.end()), "9223372036854775807,64,1000000000,0.000\n");
}

TEST(RawRecordFormat, WholeRecordPrefixCutsBetweenRecordsOnly) {
    const std::vector<std::uint8_t> binary(96, 0);
    EXPECT_EQ(wholeRecordPrefix(RawDataFormat::TimeTags, binary, 40), 32u);
    EXPECT_EQ(wholeRecordPrefix(RawDataFormat::TimeTagsWithPulses, binary, 40), 24u);
    EXPECT_EQ(wholeRecordPrefix(RawDataFormat::TimeTags, binary, 1000), 96u);
    const std::string text = "1,1,1,1.000\n22,2,2,2.000\n333,3,3,3.000\n";
    const std::vector<std::uint8_t> csv(text.begin(), text.end());
    EXPECT_EQ(wholeRecordPrefix(RawDataFormat::CsvText, csv, 30), 25u);
    EXPECT_EQ(wholeRecordPrefix(RawDataFormat::CsvText, csv, 25), 25u);
    EXPECT_EQ(wholeRecordPrefix(RawDataFormat::CsvText, csv, 5), 0u);
    EXPECT_EQ(wholeRecordPrefix(RawDataFormat::CsvText, csv, 1000), csv.size());
}

TEST(Fnv1a64, MatchesTheReferenceValues) {
    EXPECT_EQ(Fnv1a64::hex(Fnv1a64().value()), "cbf29ce484222325");
    Fnv1a64 a;
    a.update("a", 1);
    EXPECT_EQ(a.value(), 0xaf63dc4c8601ec8cULL);
    Fnv1a64 split;
    split.update("foo", 3);
    split.update("bar", 3);
    EXPECT_EQ(split.value(), 0x85944171f73967e8ULL);
    EXPECT_EQ(Fnv1a64::hex(0x00000000000000abULL), "00000000000000ab");
}

TEST(StreamPattern, IsSplitmix64OfTheSeedWrittenLittleEndian) {
    const SharedBytes pattern = makeStreamPattern(0, 11);
    ASSERT_EQ(pattern->size(), 11u);
    // The first splitmix64 output of seed 0 is 0xe220a8397b1dcdaf.
    EXPECT_EQ(std::vector<std::uint8_t>(pattern->begin(), pattern->begin() + 8),
              (std::vector<std::uint8_t>{0xaf, 0xcd, 0x1d, 0x7b, 0x39, 0xa8, 0x20, 0xe2}));
    const SharedBytes longer = makeStreamPattern(0, 16);
    EXPECT_TRUE(std::equal(pattern->begin(), pattern->end(), longer->begin()));
    EXPECT_NE(*makeStreamPattern(1, 16), *longer);
}

TEST(StreamPattern, ChecksumOfARepeatedPatternCoversWholeAndPartialRepeats) {
    const SharedBytes pattern = makeStreamPattern(9, 10);
    for (std::uint64_t length : {0u, 3u, 10u, 25u}) {
        std::vector<std::uint8_t> stream;
        for (std::uint64_t i = 0; i < length; ++i) stream.push_back((*pattern)[i % 10]);
        Fnv1a64 expected;
        expected.update(stream.data(), stream.size());
        EXPECT_EQ(repeatedPatternChecksum(*pattern, length), expected.value()) << length;
    }
}

}  // namespace
}  // namespace veltrano::sim
