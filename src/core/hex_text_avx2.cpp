// The AVX2 hex formatter. Only this function is compiled for AVX2; it is called
// only after the processor has been asked (hextext::avx2Usable), so a processor
// without AVX2 never meets one of its instructions.

#include "core/hex_text.h"

#if defined(VELTRANO_HEX_AVX2)

#include <immintrin.h>

namespace ksq::hextext {

__attribute__((target("avx2"))) uint8_t* writeAvx2Blocks(const unsigned char* data, uint64_t blocks,
                                                         uint8_t* out) {
    // The 16 digits in each 128-bit lane: the byte shuffle looks up per lane.
    const __m256i digits = _mm256_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c',
                                            'd', 'e', 'f', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9',
                                            'a', 'b', 'c', 'd', 'e', 'f');
    const __m256i lowNibble = _mm256_set1_epi8(0x0F);
    for (uint64_t block = 0; block < blocks; ++block) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data));
        const __m256i high = _mm256_shuffle_epi8(digits, _mm256_and_si256(_mm256_srli_epi16(bytes, 4), lowNibble));
        const __m256i low = _mm256_shuffle_epi8(digits, _mm256_and_si256(bytes, lowNibble));
        // Per lane, unpacklo holds the digits of bytes 0-7 and unpackhi those of
        // bytes 8-15: lane 0 covers input bytes 0-15, lane 1 bytes 16-31.
        const __m256i first = _mm256_unpacklo_epi8(high, low);
        const __m256i second = _mm256_unpackhi_epi8(high, low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(first));
        out[16] = '\n';
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 17), _mm256_castsi256_si128(second));
        out[33] = '\n';
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 34), _mm256_extracti128_si256(first, 1));
        out[50] = '\n';
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 51), _mm256_extracti128_si256(second, 1));
        out[67] = '\n';
        data += kBytesPerBlock;
        out += 68;
    }
    return out;
}

}  // namespace ksq::hextext

#endif  // VELTRANO_HEX_AVX2
