// The AVX-512 hex formatter (byte permutes of AVX512-VBMI). Only this function
// is compiled for AVX-512; it is called only after the processor has been
// asked (hextext::avx512Usable), so a processor without it never meets one of
// its instructions.
//
// 64 input bytes make 8 lines, 136 text bytes. Two byte lookups give the high
// and the low digit of every input byte; three two-table byte permutes place
// those 128 digits where the text has them, in two 64-byte stores and one of
// 8 bytes, and a blend puts in the line feeds.

#include "core/hex_text.h"

#if defined(VELTRANO_HEX_AVX512)

#include <immintrin.h>

#include <array>

namespace ksq::hextext {

namespace {

constexpr uint64_t kTextPerBlock = 136;
constexpr uint64_t kLineText = 2 * kBytesPerLine + 1;

// For text byte `first + i` of a block: the digit it holds, as an index into
// the two permute tables (high digits 0-63, low digits 64-127), or 0 for a
// line feed.
constexpr std::array<char, 64> permuteIndices(uint64_t first) {
    std::array<char, 64> indices{};
    for (uint64_t i = 0; i < 64; ++i) {
        const uint64_t text = first + i;
        const uint64_t line = text / kLineText;
        const uint64_t column = text % kLineText;
        if (column < 2 * kBytesPerLine && text < kTextPerBlock) {
            const uint64_t byte = line * kBytesPerLine + column / 2;
            indices[i] = static_cast<char>(byte + (column % 2 == 1 ? 64 : 0));
        }
    }
    return indices;
}

// Bit i set where text byte `first + i` of a block is a line feed.
constexpr uint64_t lineFeedMask(uint64_t first) {
    uint64_t mask = 0;
    for (uint64_t i = 0; i < 64; ++i) {
        if ((first + i) % kLineText == 2 * kBytesPerLine) {
            mask |= uint64_t{1} << i;
        }
    }
    return mask;
}

constexpr std::array<char, 64> kIndices0 = permuteIndices(0);
constexpr std::array<char, 64> kIndices1 = permuteIndices(64);
constexpr std::array<char, 64> kIndices2 = permuteIndices(128);

// The 16 digits four times: the lookup uses the low 6 bits of each byte, so a
// nibble with other bits above it still finds its digit.
constexpr std::array<char, 64> makeDigitTable() {
    constexpr char kDigits[] = "0123456789abcdef";
    std::array<char, 64> table{};
    for (size_t i = 0; i < table.size(); ++i) {
        table[i] = kDigits[i % 16];
    }
    return table;
}

constexpr std::array<char, 64> kDigitTable = makeDigitTable();

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) __m512i load64(const std::array<char, 64>& bytes) {
    return _mm512_loadu_si512(bytes.data());
}

}  // namespace

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) uint8_t* writeAvx512Blocks(const unsigned char* data,
                                                                                  uint64_t blocks, uint8_t* out) {
    const __m512i digits = load64(kDigitTable);
    const __m512i indices0 = load64(kIndices0);
    const __m512i indices1 = load64(kIndices1);
    const __m512i indices2 = load64(kIndices2);
    const __m512i lineFeeds = _mm512_set1_epi8('\n');
    const __mmask64 feeds0 = lineFeedMask(0);
    const __mmask64 feeds1 = lineFeedMask(64);
    const __mmask64 feeds2 = lineFeedMask(128);
    const __mmask64 allBytes = ~uint64_t{0};
    const __mmask64 tailBytes = 0xFF;  // text bytes 128-135
    for (uint64_t block = 0; block < blocks; ++block) {
        const __m512i bytes = _mm512_loadu_si512(data);
        // Shifting 16-bit words by 4 puts each byte's high nibble in its low
        // bits (with bits of the next byte above, which the table ignores).
        // The zero-masking form with every byte selected is the plain lookup.
        const __m512i high = _mm512_maskz_permutexvar_epi8(allBytes, _mm512_srli_epi16(bytes, 4), digits);
        const __m512i low = _mm512_maskz_permutexvar_epi8(allBytes, bytes, digits);
        const __m512i text0 = _mm512_permutex2var_epi8(high, indices0, low);
        const __m512i text1 = _mm512_permutex2var_epi8(high, indices1, low);
        const __m512i text2 = _mm512_permutex2var_epi8(high, indices2, low);
        _mm512_storeu_si512(out, _mm512_mask_blend_epi8(feeds0, text0, lineFeeds));
        _mm512_storeu_si512(out + 64, _mm512_mask_blend_epi8(feeds1, text1, lineFeeds));
        _mm512_mask_storeu_epi8(out + 128, tailBytes, _mm512_mask_blend_epi8(feeds2, text2, lineFeeds));
        data += kBytesPerAvx512Block;
        out += kTextPerBlock;
    }
    return out;
}

}  // namespace ksq::hextext

#endif  // VELTRANO_HEX_AVX512
