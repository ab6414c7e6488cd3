#pragma once
// Point lists: the binary payload of every analysis fetch (an unsigned 32-bit
// little-endian count N, then N pairs of little-endian doubles), and the two
// caller arrays made from them.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace vel {

using Point = std::pair<double, double>;
using PointList = std::vector<Point>;

// malloc'ed x0, y0, x1, y1, ... for the caller (released with
// ci_free_int64_data). Integer pairs round halves away from zero; a point with
// a non-finite coordinate becomes 0, 0 in both forms. Null and *count 0 for an
// empty list, more than 0x3FFFFFFF points or a failed allocation; *count is
// the number of points otherwise. count may be null.
int64_t* toIntegerPairArray(const PointList& points, int* count);
double* toDoublePairArray(const PointList& points, int* count);

// The largest point count the caller arrays above take.
inline constexpr size_t kMaxCallerPoints = 0x3FFFFFFF;

// The same caller forms made in place: pairs holds pointCount points exactly
// as the payload carries them (little-endian x, y doubles, 16 bytes a point)
// and is overwritten with the integer or double pairs, with the rules above.
void integerPairsInPlace(int64_t* pairs, size_t pointCount);
void doublePairsInPlace(double* pairs, size_t pointCount);

}  // namespace vel

namespace ksq {

class CNetUtils {
public:
    // False for fewer than 4 bytes, N >= 2^31 or a payload shorter than
    // 4 + 16 N bytes; otherwise points holds the N points in payload order.
    static bool deserializePoints2(const uint8_t* data, size_t size, vel::PointList& points);

    // Read little-endian at *cursor and advance it.
    static uint32_t decode_uint32_le(const uint8_t** cursor);
    static int32_t decode_int32_le(const uint8_t** cursor);
    static uint64_t decode_uint64_le(const uint8_t** cursor);
};

}  // namespace ksq
