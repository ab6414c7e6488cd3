// Handle-free exports: copying and releasing library arrays, and formatting
// number arrays as text into caller buffers.

#include <veltranoapi/veltranoapi.h>

#include "core/common_utils.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr int kFormatFailure = -1;

void copyElements(void* destination, const void* source, int count, size_t elementSize) {
    if (destination == nullptr || source == nullptr || count <= 0) {
        return;
    }
    std::memcpy(destination, source, static_cast<size_t>(count) * elementSize);
}

}  // namespace

void ci_copy_data(void* destination, const void* source, int count) {
    try {
        copyElements(destination, source, count, 1);
    } catch (...) {
        // Nothing to report: these helpers have no handle and no result.
    }
}

void ci_copy_int64_data(int64_t* destination, const int64_t* source, int count) {
    try {
        copyElements(destination, source, count, sizeof(int64_t));
    } catch (...) {
        // Nothing to report: these helpers have no handle and no result.
    }
}

void ci_copy_double_data(double* destination, const double* source, int count) {
    try {
        copyElements(destination, source, count, sizeof(double));
    } catch (...) {
        // Nothing to report: these helpers have no handle and no result.
    }
}

void ci_free_int64_data(void* data) {
    std::free(data);  // free(nullptr) does nothing
}

void ci_free_char_data(void* data) {
    std::free(data);
}

int ci_int64_array_to_string(char* buffer, int capacity, const int64_t* values, int count, int columns) {
    try {
        return ksq::CCommonUtils::int64_array_to_string(buffer, capacity, values, count, columns);
    } catch (...) {
        // The formatting itself failed (out of memory): the documented code.
        return kFormatFailure;
    }
}

int ci_int64_pairs_to_string(char* buffer, int capacity, const int64_t* pairs, int count) {
    try {
        return ksq::CCommonUtils::int64_pairs_to_string(buffer, capacity, pairs, count);
    } catch (...) {
        // The formatting itself failed (out of memory): the documented code.
        return kFormatFailure;
    }
}

int ci_double_pairs_to_string(char* buffer, int capacity, const double* pairs, int count) {
    try {
        return ksq::CCommonUtils::double_pairs_to_string(buffer, capacity, pairs, count);
    } catch (...) {
        // The formatting itself failed (out of memory): the documented code.
        return kFormatFailure;
    }
}
