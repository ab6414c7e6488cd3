"""numpy layouts of the library's records and structures.

The record dtypes mirror the C structures of the public header field by field
(reserved fields included, so itemsize equals sizeof). The library hands the
records out as rows of 64-bit integers; to_records() turns those rows into
these structured arrays.
"""
import ctypes

import numpy as np

T2_DATA = np.dtype({"names": ["first", "reserved", "second"], "formats": [np.int32, np.int32, np.int64],
                    "offsets": [0, 4, 8], "itemsize": 16})
T3_DATA = np.dtype([("first", np.uint32), ("second", np.int32), ("third", np.int32), ("fourth", np.uint32)])
TOT_DATA = np.dtype([("first", np.int32), ("second", np.uint32)])
ES_DATA = np.dtype([("first", np.int32), ("second", np.uint32)])
NCOINS_DATA = np.dtype([("first", np.int64), ("second", np.int32), ("reserved1", np.int32), ("third", np.int64),
                        ("fourth", np.int32), ("reserved2", np.int32), ("fifth", np.int64)])

# The fields the library delivers per record, in the order of its int64 rows.
_DELIVERED_FIELDS = {
    T2_DATA: ("first", "second"),
    T3_DATA: ("first", "second", "third", "fourth"),
    TOT_DATA: ("first", "second"),
    ES_DATA: ("first", "second"),
    NCOINS_DATA: ("first", "second", "third", "fourth", "fifth"),
}


def delivered_fields(dtype):
    """The record fields the library delivers as int64 values, in order."""
    return _DELIVERED_FIELDS[dtype]


def to_records(values, dtype):
    """Turns a flat int64 array (one row of values per record) into records."""
    fields = _DELIVERED_FIELDS[dtype]
    rows = np.asarray(values, dtype=np.int64).reshape(-1, len(fields))
    records = np.zeros(len(rows), dtype=dtype)
    for column, name in enumerate(fields):
        records[name] = rows[:, column].astype(dtype[name], casting="unsafe")
    return records


class DEVICE_INFO(ctypes.Structure):
    _fields_ = [("device_type", ctypes.c_int32), ("device_name", ctypes.c_char * 256)]


class DEVICE_STATUS(ctypes.Structure):
    _fields_ = [("temperature", ctypes.c_int32)] + [(f"current{i}", ctypes.c_float) for i in range(1, 9)]


class CHAN_GROUP(ctypes.Structure):
    _fields_ = [("start_chan", ctypes.c_int32), ("stop_chans", ctypes.POINTER(ctypes.c_int32)),
                ("chan_count", ctypes.c_int32)]


class DUAL_STOPS_GROUP(ctypes.Structure):
    _fields_ = [("start_chan", ctypes.c_int32), ("x_stop_chan", ctypes.c_int32), ("y_stop_chan", ctypes.c_int32)]


class NCOINS_STRATEGY(ctypes.Structure):
    _fields_ = [("strategy_name", ctypes.c_char_p), ("channels", ctypes.POINTER(ctypes.c_int32)),
                ("chan_count", ctypes.c_int32), ("virtual_twin", ctypes.c_int32)]
