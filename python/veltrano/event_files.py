"""Event files written as a stream arrives: .npy or HDF5 (.h5).

    with open_event_file("run.npy", dtype) as out:
        for events in stream:
            out.append(events)

Whatever ends the writing (the end of the stream, an error, Ctrl-C), closing
leaves a valid file holding every event appended so far: the .npy header is
written again with the final count; the HDF5 dataset grows with each append.
"""
from pathlib import Path

import numpy as np

# The .npy header is given this many bytes (a multiple of 64 with the 10-byte
# preamble), enough for any record dtype and a 20-digit count, so that it can
# be rewritten in place with the final shape.
NPY_HEADER_BYTES = 502
HDF5_EXTENSIONS = (".h5", ".hdf5")
HDF5_CHUNK_EVENTS = 1 << 16
DATASET = "events"


class _ClosedOnExit:
    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()
        return False


class NpyEventFile(_ClosedOnExit):
    def __init__(self, path, dtype):
        self.path, self.dtype, self.count = Path(path), np.dtype(dtype), 0
        self._file = open(self.path, "wb")
        self._write_header()

    def _write_header(self):
        fields = {"descr": np.lib.format.dtype_to_descr(self.dtype), "fortran_order": False, "shape": (self.count,)}
        text = repr(fields).ljust(NPY_HEADER_BYTES - 1) + "\n"
        self._file.seek(0)
        self._file.write(b"\x93NUMPY\x01\x00" + len(text).to_bytes(2, "little") + text.encode("latin1"))

    def append(self, events):
        if events.dtype != self.dtype:
            raise ValueError(f"events of dtype {events.dtype} cannot go into a file of {self.dtype}")
        self._file.write(memoryview(np.ascontiguousarray(events)).cast("B"))
        self.count += len(events)

    def close(self):
        if self._file.closed:
            return
        try:
            self._file.flush()
            end = self._file.tell()
            self._write_header()
            self._file.seek(end)
        finally:
            self._file.close()


class Hdf5EventFile(_ClosedOnExit):
    def __init__(self, path, dtype, compression=None):
        try:
            import h5py
        except ImportError:
            raise RuntimeError("writing .h5 files needs h5py (Debian package python3-h5py)") from None
        self.path, self.dtype, self.count = Path(path), np.dtype(dtype), 0
        self._file = h5py.File(self.path, "w")
        self._dataset = self._file.create_dataset(DATASET, shape=(0,), maxshape=(None,), dtype=self.dtype,
                                                  chunks=(HDF5_CHUNK_EVENTS,), compression=compression)

    def append(self, events):
        if len(events) == 0:
            return
        self._dataset.resize((self.count + len(events),))
        self._dataset[self.count:] = events
        self.count += len(events)

    def close(self):
        if self._file.id.valid:
            self._file.close()


def open_event_file(path, dtype, compression=None):
    """A writer for path chosen by its extension (.npy, .h5 or .hdf5);
    compression ("gzip", "lzf") applies to HDF5 only."""
    suffix = Path(path).suffix.lower()
    if suffix == ".npy":
        if compression:
            raise ValueError("compression applies to .h5 files only")
        return NpyEventFile(path, dtype)
    if suffix in HDF5_EXTENSIONS:
        return Hdf5EventFile(path, dtype, compression)
    raise ValueError(f"{path}: the event file must end in .npy, .h5 or .hdf5")
