// The record decoder for every record kind (the first input byte picks the
// kind) on an exact-size copy of the rest, and the caller array made from it.

#include "analysis/record_fetch.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

using namespace vel::analysis;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const RecordLayout* const layouts[] = {&kT2Records, &kT3Records, &kPulseRecords, &kNCoinsRecords};
    const RecordLayout& layout = *layouts[data[0] % 4];
    ++data;
    --size;
    const std::unique_ptr<uint8_t[]> payload(new uint8_t[size]);
    if (size > 0) std::memcpy(payload.get(), data, size);

    std::vector<int64_t> values;
    if (!decodeRecords(payload.get(), size, layout, values)) return 0;
    if (values.size() % layout.valuesPerRecord != 0) std::abort();

    int count = -1;
    int64_t* records = toRecordArray(values, layout, &count);
    if ((records == nullptr) != (count == 0)) std::abort();
    if (records != nullptr && static_cast<size_t>(count) * layout.valuesPerRecord != values.size()) std::abort();
    std::free(records);
    return 0;
}
