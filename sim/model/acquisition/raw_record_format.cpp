#include "sim/model/acquisition/raw_record_format.h"

#include <algorithm>
#include <bit>
#include <charconv>

#include "sim/model/common/little_endian.h"

namespace veltrano::sim {
namespace {

constexpr std::size_t kTimeTagBytes = 16;
constexpr std::size_t kPulseRecordBytes = 24;

std::size_t encodeCsv(const Event& event, std::int64_t timePs, unsigned char* out) {
    char* const begin = reinterpret_cast<char*>(out);
    char* const end = begin + kMaxRawRecordBytes;
    char* p = std::to_chars(begin, end, timePs).ptr;
    *p++ = ',';
    p = std::to_chars(p, end, event.channel).ptr;
    *p++ = ',';
    p = std::to_chars(p, end, event.widthPs).ptr;
    *p++ = ',';
    p = std::to_chars(p, end - 1, event.energyKev, std::chars_format::fixed, 3).ptr;
    *p++ = '\n';
    return static_cast<std::size_t>(p - begin);
}

}  // namespace

std::size_t encodeRawRecord(RawDataFormat format, const Event& event, std::int64_t timePs, std::uint32_t sequence,
                            unsigned char* out) {
    if (format == RawDataFormat::CsvText) return encodeCsv(event, timePs, out);
    putLittleEndian(out, timePs);
    putLittleEndian(out + 8, static_cast<std::uint32_t>(event.channel));
    putLittleEndian(out + 12, sequence);
    if (format == RawDataFormat::TimeTags) return kTimeTagBytes;
    putLittleEndian(out + 16, event.widthPs);
    putLittleEndian(out + 20, std::bit_cast<std::uint32_t>(event.energyKev));
    return kPulseRecordBytes;
}

std::size_t wholeRecordPrefix(RawDataFormat format, std::span<const std::uint8_t> bytes, std::size_t limit) {
    const std::size_t n = std::min(bytes.size(), limit);
    switch (format) {
        case RawDataFormat::TimeTags: return n - n % kTimeTagBytes;
        case RawDataFormat::TimeTagsWithPulses: return n - n % kPulseRecordBytes;
        case RawDataFormat::CsvText: break;
    }
    if (n == bytes.size()) return n;
    const auto last = std::find(std::make_reverse_iterator(bytes.begin() + static_cast<std::ptrdiff_t>(n)),
                                bytes.rend(), std::uint8_t{'\n'});
    return static_cast<std::size_t>(bytes.rend() - last);
}

}  // namespace veltrano::sim
