#!/usr/bin/env python3
"""Draws a time-of-flight histogram and its g2 cross-correlation curve.

    scripts/plot_tof.py COUNTS.csv CROSS_CORRELATION.csv OUT.png

Both files are the CSV files a time-of-flight analysis writes: a header line,
then "x,y" rows (time difference in ps, counts or g2). The histogram goes on
top, the g2 curve below, sharing the time axis.
"""
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402


def load_points(path):
    data = np.loadtxt(path, delimiter=",", skiprows=1, ndmin=2)
    if data.size == 0:
        return np.empty(0), np.empty(0)
    return data[:, 0], data[:, 1]


def main(argv):
    if len(argv) != 4:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    counts_path, g2_path, out_path = argv[1:]
    tdiff, counts = load_points(counts_path)
    g2_tdiff, g2 = load_points(g2_path)

    figure, (top, bottom) = plt.subplots(2, 1, sharex=True, figsize=(8, 6), constrained_layout=True)
    top.step(tdiff / 1000.0, counts, where="mid", color="tab:blue")
    top.set_ylabel("counts")
    top.set_title("Time of flight, channel 2 after channel 1")
    top.grid(alpha=0.3)
    bottom.plot(g2_tdiff / 1000.0, g2, color="tab:red", marker=".", markersize=3, linewidth=1)
    bottom.axhline(1.0, color="grey", linewidth=0.8, linestyle="--")
    bottom.set_xlabel("time difference (ns)")
    bottom.set_ylabel("g2")
    if g2.size and g2.max() > 100:
        # A bright pair source towers over the accidental level at 1: a
        # logarithmic axis keeps both in view.
        bottom.set_yscale("symlog", linthresh=1.0)
        bottom.set_ylim(bottom=min(-0.5, float(g2.min())))
    bottom.grid(alpha=0.3)
    figure.savefig(out_path, dpi=110)
    print(f"plot: {out_path} ({len(tdiff)} histogram bins, {len(g2_tdiff)} g2 points)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
