#pragma once
// Formatting of number arrays as CSV-like text into caller buffers, shared by
// the exported ci_*_to_string functions.
//
// Results: >= 0 with a buffer, the characters written without the NUL; with a
// null buffer or capacity <= 0, the buffer size the call needs at most (NUL
// included). -1 invalid arguments (count < 0, columns <= 0, null values with
// count > 0, size estimate above INT_MAX); -2 buffer too small; -3 formatting
// error. A failed call leaves the empty string in a usable buffer, never
// partial text.

#include <cstdint>
#include <vector>

namespace ksq {

class CCommonUtils {
public:
    // count rows of columns values, "%lld" joined by "," and each row ended by
    // a line feed. Size estimate 21 * columns * count + 1.
    static int int64_array_to_string(char* buffer, int capacity, const int64_t* values, int count,
                                     int columns);
    // "%lld,%lld\n" per pair of x0, y0, x1, y1, ... Size estimate 42 * count + 1.
    static int int64_pairs_to_string(char* buffer, int capacity, const int64_t* pairs, int count);
    // "%.17g,%.17g\n" per pair. Size estimate 80 * count + 1.
    static int double_pairs_to_string(char* buffer, int capacity, const double* pairs, int count);

    // Hex text of raw bytes, appended to out (out is not cleared): two
    // lower-case digits per byte, high nibble first, and a line feed after
    // every 8th byte and after the last one. length bytes give
    // 2 * length + ceil(length / 8) bytes of text; length 0 gives none.
    // Throws std::length_error when the text cannot be held in out.
    static void bytesToHexs(const unsigned char* data, uint64_t length, std::vector<uint8_t>& out);
    // The same text, built 32 bytes at a time with 256-bit vector
    // instructions where the processor has AVX2 (chosen at run time), and by
    // bytesToHexs otherwise or for 32 bytes or less.
    static void fastBytesToHexs(const unsigned char* data, uint64_t length, std::vector<uint8_t>& out);
};

}  // namespace ksq
