// Hex text of raw bytes: the scalar formatter, the run-time choice of the
// vector ones, and the two CCommonUtils entry points.

#include "core/hex_text.h"

#include "core/common_utils.h"

#include <array>
#include <atomic>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace ksq {

namespace hextext {

namespace {

// The two digits of every byte value, "000102...ff".
constexpr std::array<char, 512> makeDigitPairs() {
    constexpr char kDigits[] = "0123456789abcdef";
    std::array<char, 512> pairs{};
    for (int value = 0; value < 256; ++value) {
        pairs[2 * value] = kDigits[value >> 4];
        pairs[2 * value + 1] = kDigits[value & 0x0F];
    }
    return pairs;
}

constexpr std::array<char, 512> kDigitPairs = makeDigitPairs();

std::atomic<bool> vectorFormattersAllowed{true};

bool processorHasAvx2() {
#if defined(VELTRANO_HEX_AVX2)
    static const bool hasAvx2 = __builtin_cpu_supports("avx2") != 0;
    return hasAvx2;
#else
    return false;
#endif
}

bool processorHasAvx512() {
#if defined(VELTRANO_HEX_AVX512)
    static const bool hasAvx512 = __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0 &&
                                  __builtin_cpu_supports("avx512vbmi") != 0;
    return hasAvx512;
#else
    return false;
#endif
}

// Input bytes formatted per step: a multiple of the vector blocks (so every
// step ends at a line end), with its text (4.25 KiB) small enough to stay in
// the first-level cache between being sized by resize(), which zero-fills it,
// and being written. Steps of 4 KiB or more ran at half the speed in memory.
constexpr uint64_t kSliceBytes = 2048;

// Appends the text of length bytes to out, slice by slice, with
// write(data, count, destination) formatting one slice.
template <class Write>
void appendText(const unsigned char* data, uint64_t length, std::vector<uint8_t>& out, Write write) {
    const uint64_t text = textLength(length);
    if (text > out.max_size() - out.size()) {
        throw std::length_error("Hex text too long");
    }
    out.reserve(out.size() + static_cast<size_t>(text));
    for (uint64_t offset = 0; offset < length; offset += kSliceBytes) {
        const uint64_t count = length - offset < kSliceBytes ? length - offset : kSliceBytes;
        const size_t start = out.size();
        out.resize(start + static_cast<size_t>(textLength(count)));
        write(data + offset, count, out.data() + start);
    }
}

}  // namespace

uint64_t textLength(uint64_t length) {
    const uint64_t lines = length / kBytesPerLine + (length % kBytesPerLine != 0 ? 1 : 0);
    if (length > (std::numeric_limits<uint64_t>::max() - lines) / 2) {
        return std::numeric_limits<uint64_t>::max();
    }
    return 2 * length + lines;
}

uint8_t* writeScalar(const unsigned char* data, uint64_t length, uint8_t* out) {
    uint64_t index = 0;
    while (index < length) {
        const uint64_t lineEnd = length - index > kBytesPerLine ? index + kBytesPerLine : length;
        for (; index < lineEnd; ++index) {
            std::memcpy(out, &kDigitPairs[2 * static_cast<size_t>(data[index])], 2);
            out += 2;
        }
        *out++ = '\n';
    }
    return out;
}

bool avx2Usable() {
    return vectorFormattersAllowed.load(std::memory_order_relaxed) && processorHasAvx2();
}

bool avx512Usable() {
    return vectorFormattersAllowed.load(std::memory_order_relaxed) && processorHasAvx512();
}

void allowVectorFormatters(bool allowed) {
    vectorFormattersAllowed.store(allowed, std::memory_order_relaxed);
}

}  // namespace hextext

void CCommonUtils::bytesToHexs(const unsigned char* data, uint64_t length, std::vector<uint8_t>& out) {
    hextext::appendText(data, length, out, hextext::writeScalar);
}

void CCommonUtils::fastBytesToHexs(const unsigned char* data, uint64_t length, std::vector<uint8_t>& out) {
    if (length <= hextext::kBytesPerBlock || !hextext::avx2Usable()) {
        bytesToHexs(data, length, out);
        return;
    }
#if defined(VELTRANO_HEX_AVX2)
    const bool avx512 = hextext::avx512Usable();
    hextext::appendText(data, length, out, [avx512](const unsigned char* slice, uint64_t count, uint8_t* text) {
        // Every block is whole lines, so each smaller step starts a new line.
        uint64_t done = 0;
        if (avx512) {
            const uint64_t blocks = count / hextext::kBytesPerAvx512Block;
            text = hextext::writeAvx512Blocks(slice, blocks, text);
            done = blocks * hextext::kBytesPerAvx512Block;
        }
        const uint64_t blocks = (count - done) / hextext::kBytesPerBlock;
        text = hextext::writeAvx2Blocks(slice + done, blocks, text);
        done += blocks * hextext::kBytesPerBlock;
        hextext::writeScalar(slice + done, count - done, text);
    });
#endif
}

}  // namespace ksq
