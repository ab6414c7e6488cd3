#!/usr/bin/env python3
"""Draws the four stability deviations of a period analysis.

    scripts/plot_stability.py ADEV.csv MDEV.csv TDEV.csv HDEV.csv OUT.png

Each file is a CSV file a period analysis writes: a header line, then
"tau,deviation" rows (tau in s). The Allan, modified Allan and Hadamard
deviations (fractional frequency) share the top panel; the time deviation
(in seconds, so in a unit of its own) has the bottom one. Both panels are
log-log.
"""
import sys

from analysis_csv import load_points
from veltrano import plot


def main(argv):
    if len(argv) != 6:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    adev_path, mdev_path, tdev_path, hdev_path, out_path = argv[1:]
    frequency = {"adev": load_points(adev_path), "mdev": load_points(mdev_path), "hdev": load_points(hdev_path)}
    time = {"tdev": load_points(tdev_path)}

    figure, (top, bottom) = plot.panels(2)
    plot.deviations(frequency, ax=top, title="Frequency stability")
    top.set_ylabel("fractional frequency deviation")
    plot.deviations(time, ax=bottom, title="Time deviation")
    bottom.set_ylabel("TDEV (s)")
    plot.save(figure, out_path)
    counts = ", ".join(str(len(points)) for points in frequency.values())
    print(f"plot: {out_path} ({counts} and {len(time['tdev'])} points)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
