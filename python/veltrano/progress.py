"""Progress of a timed run on a terminal: "label: 3 of 10 s" on one line.

Silent when the stream is not a terminal, so logs and pipes stay clean.
"""
import sys


class Progress:
    def __init__(self, label, duration, stream=None):
        self.label, self.duration = label, duration
        self.stream = sys.stderr if stream is None else stream
        self.enabled = bool(getattr(self.stream, "isatty", lambda: False)())
        self._shown = None

    def update(self, elapsed):
        seconds = min(int(elapsed), self.duration)
        if not self.enabled or seconds == self._shown:
            return
        self._shown = seconds
        self.stream.write(f"\r{self.label}: {seconds} of {self.duration} s")
        self.stream.flush()

    def finish(self):
        if self.enabled and self._shown is not None:
            self.stream.write("\n")
            self.stream.flush()
        self._shown = None


def progress_for(label, duration, progress):
    """progress: None (standard error), False (never) or a stream."""
    if progress is False:
        return Progress(label, duration, stream=_Silent())
    return Progress(label, duration, stream=progress)


class _Silent:
    def isatty(self):
        return False
