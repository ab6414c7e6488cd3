"""A raw acquisition read as it arrives, one structured array per chunk.

    with session.stream(10, data_format=0) as events_of_chunks:
        for events in events_of_chunks:
            ...

Each chunk the library hands over is copied once into numpy (then freed)
and viewed as records, so memory stays at a few chunks however long the
acquisition runs. The acquisition is stopped when the stream ends, is
closed, leaves a with block or a for loop by an exception (Ctrl-C
included). With decode=False the chunks are the raw bytes (uint8 arrays).
"""
import time

import numpy as np

from .errors import VeltranoError
from .raw import RecordDecoder

# Each fetch waits up to this long for bytes. A fetch that comes back empty
# sooner means the library's acquisition has ended and everything was taken.
FETCH_TIMEOUT_MS = 200


class RawStream:
    """Iterator over the decoded chunks of one acquisition (see module)."""

    def __init__(self, session, duration, data_format=0, data_mode=0, fetch_timeout_ms=FETCH_TIMEOUT_MS,
                 decode=True):
        self._session = session
        self._decoder = RecordDecoder(data_format) if decode else None
        self._timeout_ms = fetch_timeout_ms
        self.bytes_received = 0
        self.events_received = 0
        self._running = False
        session.set_acq_dataformat(data_format)
        session.acq_rawdata(duration, data_mode)
        self._running = True

    @property
    def dtype(self):
        """The record dtype of the chunks (uint8 when they are not decoded)."""
        return self._decoder.dtype if self._decoder else np.dtype(np.uint8)

    def __iter__(self):
        return self

    def __next__(self):
        try:
            while self._running:
                asked = time.monotonic()
                chunk = self._session.fetch_rawdata(self._timeout_ms)
                if chunk is None:
                    if (time.monotonic() - asked) * 1000 < self._timeout_ms:
                        break
                    continue
                self.bytes_received += len(chunk)
                if self._decoder is None:
                    return chunk
                events = self._decoder.feed(chunk)
                if len(events):
                    self.events_received += len(events)
                    return events
        except BaseException:
            self.close(after_error=True)
            raise
        self.close()
        raise StopIteration

    @property
    def pending_bytes(self):
        """Bytes of a record that the acquisition ended in the middle of."""
        return self._decoder.pending_bytes if self._decoder else 0

    def close(self, after_error=False):
        """Stops the acquisition (once). After an error a failing stop does
        not hide that error."""
        if not self._running:
            return
        self._running = False
        try:
            self._session.stop_acq()
        except VeltranoError:
            if not after_error:
                raise

    def __enter__(self):
        return self

    def __exit__(self, kind, value, traceback):
        self.close(after_error=kind is not None)
        return False

    def __del__(self):
        try:
            self.close(after_error=True)
        except Exception:
            pass
