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
};

}  // namespace ksq
