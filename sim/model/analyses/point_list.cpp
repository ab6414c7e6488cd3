#include "sim/model/analyses/point_list.h"

#include <bit>

#include "sim/model/common/little_endian.h"

namespace veltrano::sim {

std::vector<std::uint8_t> encodePointList(const PointList& points) {
    std::vector<std::uint8_t> payload(4 + 16 * points.size());
    unsigned char* out = payload.data();
    putLittleEndian(out, static_cast<std::uint32_t>(points.size()));
    out += 4;
    for (const Point& p : points) {
        putLittleEndian(out, std::bit_cast<std::uint64_t>(p.x));
        putLittleEndian(out + 8, std::bit_cast<std::uint64_t>(p.y));
        out += 16;
    }
    return payload;
}

}  // namespace veltrano::sim
