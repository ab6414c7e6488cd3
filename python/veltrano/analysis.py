"""Offline computations on raw events (structured arrays with "time_ps" and
"channel", as read_raw and stream give them), vectorised with numpy.

events may be one array or an iterable of arrays in time order (the pieces
of a RawRecording, the chunks of a stream); nothing is joined into one copy.
"""
import numpy as np

# The instrument's time-of-flight histogram spreads its window over at most
# this many bins (a power-of-two bin width), like the analysis on the service.
MAX_TOF_BINS = 4096
# Start events handled per vectorised step, bounding the memory of the pairs.
STARTS_PER_STEP = 1 << 16


def _pieces(events):
    if isinstance(events, np.ndarray):
        return [events]
    return events


def channel_counts(events):
    """{channel: number of events}."""
    counts = {}
    for piece in _pieces(events):
        channels, numbers = np.unique(np.asarray(piece["channel"]), return_counts=True)
        for channel, number in zip(channels.tolist(), numbers.tolist()):
            counts[channel] = counts.get(channel, 0) + number
    return counts


def channel_rates(events, duration_s):
    """{channel: events per second} over duration_s seconds."""
    if duration_s <= 0:
        raise ValueError("duration_s must be above 0")
    return {channel: number / duration_s for channel, number in channel_counts(events).items()}


def histogram_bin_width(window_ps, max_bins=MAX_TOF_BINS):
    """The smallest power of two that spreads 2 window_ps over max_bins bins."""
    width = 1
    while (2 * window_ps) // width > max_bins:
        width *= 2
    return width


def time_difference_histogram(events, ch1, ch2, window_ps, bin_ps=None):
    """Histogram of t(ch2) - t(ch1) over every pair of a ch1 and a ch2 event
    at most window_ps apart, as an (N, 2) int64 array (bin centre in ps,
    counts). Bins are bin_ps wide (default: as the instrument's time of
    flight), centred on multiples of bin_ps, whole bins within the window."""
    if window_ps <= 0:
        raise ValueError("window_ps must be above 0")
    if ch1 == ch2:
        raise ValueError("ch1 and ch2 must differ")
    width = int(bin_ps) if bin_ps else histogram_bin_width(window_ps)
    if width <= 0:
        raise ValueError("bin_ps must be above 0")
    highest = (window_ps + 1 - (width + 1) // 2) // width
    centres = np.arange(-highest, highest + 1, dtype=np.int64)
    counts = np.zeros(len(centres), dtype=np.int64)
    # Events of the previous piece that the next piece's events may pair with.
    starts_kept = np.empty(0, dtype=np.int64)
    stops_kept = np.empty(0, dtype=np.int64)
    for piece in _pieces(events):
        times, channels = np.asarray(piece["time_ps"]), np.asarray(piece["channel"])
        starts = np.concatenate([starts_kept, times[channels == ch1]])
        stops = np.concatenate([stops_kept, times[channels == ch2]])
        # Pairs within this piece and with the kept events; pairs of two
        # kept events were counted with the previous piece.
        _count_pairs(starts[len(starts_kept):], stops, width, highest, window_ps, counts)
        _count_pairs(starts[:len(starts_kept)], stops[len(stops_kept):], width, highest, window_ps, counts)
        if len(times) == 0:
            continue
        end = times[-1]
        starts_kept = starts[starts >= end - window_ps]
        stops_kept = stops[stops >= end - window_ps]
    return np.column_stack([centres * width, counts])


def _count_pairs(starts, stops, width, highest, window_ps, counts):
    """Adds the differences stop - start within the window to counts."""
    if len(starts) == 0 or len(stops) == 0:
        return
    for first in range(0, len(starts), STARTS_PER_STEP):
        block = starts[first:first + STARTS_PER_STEP]
        low = np.searchsorted(stops, block - window_ps, side="left")
        high = np.searchsorted(stops, block + window_ps, side="right")
        per_start = high - low
        total = int(per_start.sum())
        if total == 0:
            continue
        owner = np.repeat(np.arange(len(block)), per_start)
        offset = np.arange(total) - np.repeat(np.cumsum(per_start) - per_start, per_start)
        differences = stops[low[owner] + offset] - block[owner]
        index = np.floor_divide(2 * differences + width, 2 * width) + highest
        inside = (index >= 0) & (index < len(counts))
        counts += np.bincount(index[inside], minlength=len(counts))
