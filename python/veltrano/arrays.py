"""Copies library-allocated arrays into numpy and frees each exactly once."""
import ctypes

import numpy as np


def _call_with_count(fetch, arguments, timeout_ms):
    """Calls a fetch whose count out-parameter follows the given arguments
    (and precedes the time-out, for the fetches that wait)."""
    count = ctypes.c_int(0)
    extra = () if timeout_ms is None else (int(timeout_ms),)
    pointer = fetch(*arguments, ctypes.byref(count), *extra)
    return pointer, count.value


def take_pairs(library, fetch, *arguments, timeout_ms=None, dtype=np.int64):
    """Calls a point-list fetch and returns an (N, 2) array of dtype.

    The library array is copied and then freed with ci_free_int64_data, also
    when the copy fails; a null result gives an empty (0, 2) array.
    """
    pointer, count = _call_with_count(fetch, arguments, timeout_ms)
    return _copy_and_free(library.ci_free_int64_data, pointer, count * 2, dtype).reshape(-1, 2)


def take_rows(library, fetch, *arguments, timeout_ms, per_record):
    """Calls a record fetch; returns the flat int64 values, per_record each."""
    pointer, count = _call_with_count(fetch, arguments, timeout_ms)
    return _copy_and_free(library.ci_free_int64_data, pointer, count * per_record, np.int64)


def take_bytes(library, fetch, *arguments, timeout_ms):
    """Calls ci_fetch_rawdata; returns the bytes as a uint8 array, or None
    when the library returned nothing."""
    address, size = _call_with_count(fetch, arguments, timeout_ms)
    if not address:
        return None
    try:
        # The one copy: from the library's block straight into numpy.
        data = np.empty(max(size, 0), dtype=np.uint8)
        ctypes.memmove(data.ctypes.data, address, len(data))
        return data
    finally:
        library.ci_free_char_data(address)


def _copy_and_free(free, pointer, length, dtype):
    if not pointer:
        return np.empty(0, dtype=dtype)
    try:
        if length <= 0:
            return np.empty(0, dtype=dtype)
        return np.ctypeslib.as_array(pointer, shape=(length,)).astype(dtype, copy=True)
    finally:
        free(pointer)


def int64_pointer(values):
    """A contiguous int64 copy of values and a pointer into it (keep both)."""
    array = np.ascontiguousarray(values, dtype=np.int64)
    return array, array.ctypes.data_as(ctypes.POINTER(ctypes.c_int64))


def double_pointer(values):
    array = np.ascontiguousarray(values, dtype=np.float64)
    return array, array.ctypes.data_as(ctypes.POINTER(ctypes.c_double))
