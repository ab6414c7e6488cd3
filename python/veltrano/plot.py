"""Plots of measurement results, each to a matplotlib Axes or a PNG file.

Every function takes its data as numpy arrays (point lists as (N, 2)
arrays) and either ax (draws into it and returns it) or path (draws a new
figure, writes it as PNG and closes it; returns the path).
"""
import numpy as np

DEVIATION_LABELS = {"adev": "Allan", "mdev": "modified Allan", "tdev": "time", "hdev": "Hadamard"}


def _figure_target(ax, path, draw):
    if ax is not None:
        draw(ax)
        return ax
    if path is None:
        raise ValueError("give ax or path")
    figure, (axes,) = panels(1)
    draw(axes)
    return save(figure, path)


def _xy(points):
    points = np.asarray(points).reshape(-1, 2)
    return points[:, 0], points[:, 1]


def histogram(points, ax=None, path=None, xlabel="time difference (ps)", ylabel="counts", title=None):
    """A histogram of (x, counts) points as a step curve."""
    def draw(axes):
        x, y = _xy(points)
        axes.step(x, y, where="mid")
        axes.set_xlabel(xlabel)
        axes.set_ylabel(ylabel)
        axes.grid(alpha=0.3)
        if title:
            axes.set_title(title)
    return _figure_target(ax, path, draw)


def g2_curve(points, ax=None, path=None, xlabel="delay (ps)", title="g2"):
    """A g2 curve with the uncorrelated level 1 marked."""
    def draw(axes):
        x, y = _xy(points)
        axes.plot(x, y, marker=".", markersize=3, linewidth=1)
        axes.axhline(1.0, color="grey", linewidth=0.8, linestyle="--")
        axes.set_xlabel(xlabel)
        axes.set_ylabel("g2")
        axes.grid(alpha=0.3)
        axes.set_title(title)
    return _figure_target(ax, path, draw)


def deviations(curves, ax=None, path=None, title="Stability"):
    """Allan-type deviations {name: (tau s, deviation)} on log-log axes."""
    def draw(axes):
        for name, points in curves.items():
            x, y = _xy(points)
            keep = (x > 0) & (y > 0)
            if keep.any():
                axes.loglog(x[keep], y[keep], marker="o", markersize=3, label=DEVIATION_LABELS.get(name, name))
        axes.set_xlabel("tau (s)")
        axes.set_ylabel("deviation")
        axes.grid(which="both", alpha=0.3)
        axes.set_title(title)
        if curves:
            axes.legend()
    return _figure_target(ax, path, draw)


def dense_histogram(points):
    """The service lists only the bins of a histogram that hold counts: puts
    the empty ones back, so that a gap is drawn as a gap. Returns the bin
    edges and the counts of every bin from the first listed to the last."""
    x, y = _xy(points)
    if x.size == 0:
        return np.zeros(1), np.empty(0)
    steps = np.diff(x)
    width = steps[steps > 0].min() if np.any(steps > 0) else 1.0
    index = np.rint((x - x[0]) / width).astype(int)
    values = np.zeros(index[-1] + 1)
    np.add.at(values, index, y)
    return x[0] + width * np.arange(values.size + 1), values


def spectrum(points, ax=None, path=None, log=True, title="Energy spectrum", label=None):
    """An energy spectrum (adc, counts) with its empty bins, counts on a log
    axis by default (empty bins drop to its bottom)."""
    def draw(axes):
        edges, values = dense_histogram(points)
        if values.size:
            axes.stairs(values, edges, label=label)
        if log and (values > 0).any():
            axes.set_yscale("log", nonpositive="clip")
            axes.set_ylim(bottom=0.8)
        axes.set_xlabel("adc")
        axes.set_ylabel("counts")
        axes.grid(alpha=0.3)
        axes.set_title(title)
        if label:
            axes.legend()
    return _figure_target(ax, path, draw)


def rate_history(rows, ax=None, path=None, title="Count rates"):
    """Count rates over time: rows (time, channel, cps), one line per channel,
    or an (N, 2) array (time s, cps) for a single history."""
    def draw(axes):
        data = np.asarray(rows)
        if data.ndim == 2 and data.shape[1] == 3:
            for channel in np.unique(data[:, 1]):
                own = data[data[:, 1] == channel]
                axes.plot(own[:, 0], own[:, 2], label=f"channel {int(channel)}")
            if len(data):
                axes.legend(fontsize="small")
            axes.set_xlabel("time (ms)")
        else:
            x, y = _xy(data)
            axes.plot(x, y, marker=".")
            axes.set_xlabel("time (s)")
        axes.set_ylabel("counts per second")
        axes.grid(alpha=0.3)
        axes.set_title(title)
    return _figure_target(ax, path, draw)


def panels(rows):
    """A new figure of rows panels stacked vertically: (figure, [axes])."""
    # A bare Figure draws without pyplot, so a notebook's backend is untouched.
    from matplotlib.figure import Figure
    figure = Figure(figsize=(8, 3.2 * rows + 1), constrained_layout=True)
    return figure, [figure.add_subplot(rows, 1, row + 1) for row in range(rows)]


def save(figure, path):
    """Writes a figure from panels() as PNG; returns the path."""
    figure.savefig(path, dpi=100)
    return path
