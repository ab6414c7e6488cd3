#pragma once
// The pieces behind CCommonUtils::bytesToHexs and fastBytesToHexs: the text
// length rule, the scalar formatter, the AVX2 and AVX-512 block formatters
// (each in its own source, compiled for its instruction set only there) and
// the run-time choice between them.

#include <cstdint>

// The vector formatters exist for x86 builds with GCC or Clang, which can
// compile one function for AVX2 or AVX-512 while the rest of the library stays
// baseline x86.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define VELTRANO_HEX_AVX2 1
#define VELTRANO_HEX_AVX512 1
#endif

namespace ksq::hextext {

// 8 input bytes per line, each line ended by a line feed.
constexpr uint64_t kBytesPerLine = 8;
// Bytes formatted per AVX2 step: four full lines.
constexpr uint64_t kBytesPerBlock = 32;
// Bytes formatted per AVX-512 step: eight full lines.
constexpr uint64_t kBytesPerAvx512Block = 64;

// 2 * length + ceil(length / 8); UINT64_MAX when that does not fit.
uint64_t textLength(uint64_t length);

// Writes the text of length bytes to out and returns the end of the text.
uint8_t* writeScalar(const unsigned char* data, uint64_t length, uint8_t* out);

// Writes the text of blocks * 32 bytes (68 text bytes per block) with AVX2
// instructions and returns the end. Only to be called when avx2Usable().
uint8_t* writeAvx2Blocks(const unsigned char* data, uint64_t blocks, uint8_t* out);

// Writes the text of blocks * 64 bytes (136 text bytes per block) with
// AVX-512 instructions and returns the end. Only to be called when
// avx512Usable().
uint8_t* writeAvx512Blocks(const unsigned char* data, uint64_t blocks, uint8_t* out);

// True when this build has the AVX2 (AVX-512) formatter, the processor
// supports it and the vector formatters have not been turned off.
bool avx2Usable();
bool avx512Usable();

// Turns both vector formatters off (false) or back on (true) for this
// process, so that the scalar path can be exercised on any machine.
void allowVectorFormatters(bool allowed);

}  // namespace ksq::hextext
