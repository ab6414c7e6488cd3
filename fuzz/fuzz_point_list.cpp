// The point-list decoder on an exact-size copy of the input (so any read past
// the payload is caught), and both caller arrays made from what it decodes.

#include "analysis/point_list.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::unique_ptr<uint8_t[]> payload(new uint8_t[size]);
    if (size > 0) std::memcpy(payload.get(), data, size);

    vel::PointList points;
    if (!ksq::CNetUtils::deserializePoints2(payload.get(), size, points)) return 0;

    int count = -1;
    int64_t* integers = vel::toIntegerPairArray(points, &count);
    if ((integers == nullptr) != (count == 0)) std::abort();
    std::free(integers);

    count = -1;
    double* doubles = vel::toDoublePairArray(points, &count);
    if ((doubles == nullptr) != (count == 0)) std::abort();
    if (doubles != nullptr && static_cast<size_t>(count) != points.size()) std::abort();
    std::free(doubles);
    return 0;
}
