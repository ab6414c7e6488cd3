"""The exports that take no session: version, clean-up, copies and text."""
import ctypes

import numpy as np

from . import _lib
from .arrays import double_pointer, int64_pointer
from .errors import VeltranoError


def sw_version(library=None):
    """The library's version text, e.g. "V1.4.0"."""
    buffer = ctypes.create_string_buffer(32)
    _lib.get(library).ci_get_sw_version(0, buffer, len(buffer))
    return buffer.value.decode("ascii")


def cleanup(library=None):
    """Destroys every session of the process (ci_cleanup)."""
    _lib.get(library).ci_cleanup()


def copy_data(destination, source, library=None):
    """Copies the bytes of source into the writable numpy array destination."""
    _copy(_lib.get(library).ci_copy_data, destination, source, lambda array: array.ctypes.data_as(ctypes.c_void_p),
          np.uint8, lambda array: array.nbytes)


def copy_int64_data(destination, source, library=None):
    _copy(_lib.get(library).ci_copy_int64_data, destination, source,
          lambda array: array.ctypes.data_as(ctypes.POINTER(ctypes.c_int64)), np.int64, len)


def copy_double_data(destination, source, library=None):
    _copy(_lib.get(library).ci_copy_double_data, destination, source,
          lambda array: array.ctypes.data_as(ctypes.POINTER(ctypes.c_double)), np.float64, len)


def _copy(function, destination, source, pointer_of, dtype, length_of):
    if destination.dtype != dtype or not destination.flags.c_contiguous or not destination.flags.writeable:
        raise ValueError(f"destination must be a writable contiguous {np.dtype(dtype).name} array")
    source = np.ascontiguousarray(source, dtype=dtype)
    if length_of(source.reshape(-1)) > length_of(destination.reshape(-1)):
        raise ValueError("destination is smaller than source")
    function(pointer_of(destination), pointer_of(source), length_of(source.reshape(-1)))


def int64_array_to_string(values, library=None):
    """Rows of a 2-D int64 array as text, one "a,b,c" line per row."""
    rows = np.atleast_2d(np.asarray(values, dtype=np.int64))
    array, pointer = int64_pointer(rows)
    return _format(_lib.get(library).ci_int64_array_to_string, "ci_int64_array_to_string", pointer, rows.shape[0],
                   rows.shape[1])


def int64_pairs_to_string(pairs, library=None):
    """An (N, 2) array as "x,y" lines of integers."""
    array, pointer = int64_pointer(np.asarray(pairs).reshape(-1, 2))
    return _format(_lib.get(library).ci_int64_pairs_to_string, "ci_int64_pairs_to_string", pointer, len(array))


def double_pairs_to_string(pairs, library=None):
    """An (N, 2) array as "x,y" lines with 17 significant digits."""
    array, pointer = double_pointer(np.asarray(pairs).reshape(-1, 2))
    return _format(_lib.get(library).ci_double_pairs_to_string, "ci_double_pairs_to_string", pointer, len(array))


def _format(function, name, pointer, *counts):
    # The first call with no buffer asks for the size the text needs at most.
    needed = function(None, 0, pointer, *counts)
    if needed < 0:
        raise VeltranoError(needed, name)
    buffer = ctypes.create_string_buffer(needed)
    written = function(buffer, needed, pointer, *counts)
    if written < 0:
        raise VeltranoError(written, name)
    return buffer.raw[:written].decode("ascii")
