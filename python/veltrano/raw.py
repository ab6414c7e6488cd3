"""Raw records: their numpy layouts, decoding of a byte stream cut anywhere,
and recordings on disk as memory-mapped arrays.

Format 0 is 16 bytes per event (time tag, channel, sequence), format 1 adds
the pulse width and energy (24 bytes), format 2 is one text line per event
"time_ps,channel,width_ps,energy_kev". The library names its local files by
format: ".bin" (0), ".dat" (1), ".csv" (2); a volume set is run.bin,
run_1.bin, run_2.bin, ... whose concatenation is the stream, cut into
volumes wherever the size limit fell, records included.
"""
import io
from pathlib import Path

import numpy as np

RAW_FORMATS = {
    0: np.dtype([("time_ps", "<i8"), ("channel", "<u4"), ("sequence", "<u4")]),
    1: np.dtype([("time_ps", "<i8"), ("channel", "<u4"), ("sequence", "<u4"), ("width_ps", "<i4"),
                 ("energy_kev", "<f4")]),
    2: np.dtype([("time_ps", "<i8"), ("channel", "<u4"), ("width_ps", "<i4"), ("energy_kev", "<f8")]),
}
FORMAT_OF_EXTENSION = {".bin": 0, ".dat": 1, ".csv": 2}
# Channels of any instrument this library drives; a larger value means the
# bytes are not records of the format they were taken for.
MAX_CHANNEL = 256
# How many leading records are checked for plausibility when a file is opened.
CHECKED_RECORDS = 1024


class RecordDecoder:
    """Turns byte chunks into structured arrays of whole records, keeping a
    record cut at a chunk's end for the next chunk. Formats 0 and 1 are
    views of the chunk (no copy); format 2 is parsed."""

    def __init__(self, data_format):
        if data_format not in RAW_FORMATS:
            raise ValueError(f"unknown raw data format {data_format!r} (0, 1 or 2)")
        self.data_format = data_format
        self.dtype = RAW_FORMATS[data_format]
        self._carry = np.empty(0, dtype=np.uint8)

    def feed(self, chunk):
        chunk = np.asarray(chunk, dtype=np.uint8)
        if len(self._carry):
            chunk = np.concatenate([self._carry, chunk])
        if self.data_format == 2:
            lines_end = _after_last_line_feed(chunk)
            self._carry = chunk[lines_end:].copy()
            return parse_text_records(chunk[:lines_end])
        whole = len(chunk) - len(chunk) % self.dtype.itemsize
        self._carry = chunk[whole:].copy()
        return chunk[:whole].view(self.dtype)

    @property
    def pending_bytes(self):
        """Bytes of a record not yet complete."""
        return len(self._carry)


def _after_last_line_feed(chunk):
    found = np.flatnonzero(chunk[::-1] == ord("\n"))
    return len(chunk) - int(found[0]) if len(found) else 0


def parse_text_records(data, source="the text stream"):
    """Format 2 lines (bytes or a uint8 array) as a structured array."""
    if not isinstance(data, (bytes, bytearray)):
        data = np.ascontiguousarray(data, dtype=np.uint8).tobytes()
    text = data.decode("ascii", errors="replace")
    if not text.strip():
        return np.empty(0, dtype=RAW_FORMATS[2])
    try:
        return np.loadtxt(io.StringIO(text), delimiter=",", dtype=RAW_FORMATS[2], ndmin=1)
    except ValueError as error:
        raise ValueError(f"{source} is not a raw recording of format 2 (time_ps,channel,width_ps,energy_kev "
                         f"lines): {error}") from None


def decode_raw(raw, data_format):
    """Decodes the whole events of one byte buffer; None for an unknown format."""
    if data_format not in RAW_FORMATS:
        return None
    return RecordDecoder(data_format).feed(raw)


def volume_paths(first):
    """The volume set that starts with first: first, then its _1, _2, ...
    names while they exist."""
    first = Path(first)
    paths = [first]
    stem, suffix = (first.stem, first.suffix) if first.suffix else (first.name, "")
    index = 1
    while True:
        following = first.with_name(f"{stem}_{index}{suffix}")
        if not following.is_file():
            return paths
        paths.append(following)
        index += 1


class RawRecording:
    """A recording on disk: one structured array per piece, each a
    memory-mapped view of its volume file, with the few records the volume
    size limit cut in two joined into small arrays between them.

    Iterating gives the pieces in order; len() is the number of events;
    concatenate() copies everything into one array (for recordings that fit
    in memory)."""

    def __init__(self, paths, data_format, pieces):
        self.paths = paths
        self.data_format = data_format
        self.dtype = RAW_FORMATS[data_format]
        self.pieces = pieces

    def __iter__(self):
        return iter(self.pieces)

    def __len__(self):
        return sum(len(piece) for piece in self.pieces)

    def concatenate(self):
        if len(self.pieces) == 1:
            return self.pieces[0]
        return np.concatenate(self.pieces) if self.pieces else np.empty(0, dtype=self.dtype)


def read_raw(path, data_format=None, whole_set=True):
    """Opens a raw recording (a file, or the whole volume set given its first
    file) as memory-mapped structured arrays; format 2 text is parsed.

    The format comes from the extension (".bin" 0, ".dat" 1, ".csv" 2)
    unless given. Raises FileNotFoundError for a missing file and ValueError
    for one that is not a recording of that format (a size that is not a
    whole number of records, or records that cannot be events)."""
    path = Path(path)
    if not path.is_file():
        raise FileNotFoundError(f"no raw recording at {path}")
    if data_format is None:
        data_format = FORMAT_OF_EXTENSION.get(path.suffix.lower())
        if data_format is None:
            raise ValueError(f"{path}: cannot tell the raw data format from the extension {path.suffix!r}; "
                             "give data_format (0, 1 or 2)")
    if data_format not in RAW_FORMATS:
        raise ValueError(f"unknown raw data format {data_format!r} (0, 1 or 2)")
    paths = volume_paths(path) if whole_set else [path]
    if data_format == 2:
        text = b"".join(volume.read_bytes() for volume in paths)
        return RawRecording(paths, 2, [parse_text_records(text, source=str(path))])
    return RawRecording(paths, data_format, _mapped_pieces(paths, RAW_FORMATS[data_format], data_format))


def _mapped_pieces(paths, dtype, data_format):
    record = dtype.itemsize
    sizes = [volume.stat().st_size for volume in paths]
    total = sum(sizes)
    if total % record:
        raise ValueError(f"{paths[0]}: not a raw recording of format {data_format}: {total} bytes "
                         f"{'in ' + str(len(paths)) + ' volumes ' if len(paths) > 1 else ''}is not a whole number "
                         f"of {record}-byte records")
    pieces = []
    carry = b""
    for volume, size in zip(paths, sizes):
        head = (record - len(carry)) % record if carry else 0
        head = min(head, size)
        if head:
            with open(volume, "rb") as file:
                carry += file.read(head)
        if len(carry) == record:
            pieces.append(np.frombuffer(carry, dtype=dtype).copy())
            carry = b""
        count = (size - head) // record
        if count:
            pieces.append(np.memmap(volume, dtype=dtype, mode="r", offset=head, shape=(count,)))
        tail = size - head - count * record
        if tail:
            with open(volume, "rb") as file:
                file.seek(size - tail)
                carry += file.read(tail)
    _check_plausible(pieces, paths[0], data_format)
    return pieces


def _check_plausible(pieces, path, data_format):
    """Catches files of the wrong format (or no recording at all) early:
    the first records must name real channels in time order."""
    if not pieces:
        return
    first = np.asarray(pieces[0][:CHECKED_RECORDS])
    channels_ok = np.all((first["channel"] >= 1) & (first["channel"] <= MAX_CHANNEL))
    ordered = np.all(np.diff(first["time_ps"]) >= 0) and np.all(first["time_ps"] >= 0)
    if not (channels_ok and ordered):
        raise ValueError(f"{path}: not a raw recording of format {data_format}: its first records do not hold "
                         f"channels 1..{MAX_CHANNEL} with rising time tags")

