#!/usr/bin/env python3
"""Draws the four stability deviations of a period analysis.

    scripts/plot_stability.py ADEV.csv MDEV.csv TDEV.csv HDEV.csv OUT.png

Each file is a CSV file a period analysis writes: a header line, then
"tau,deviation" rows (tau in s). The Allan, modified Allan and Hadamard
deviations (fractional frequency) share the left panel; the time deviation
(in seconds, so in a unit of its own) has the right one. Both panels are
log-log.
"""
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from analysis_csv import load_points  # noqa: E402


def main(argv):
    if len(argv) != 6:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    adev_path, mdev_path, tdev_path, hdev_path, out_path = argv[1:]
    curves = {
        "ADEV (Allan)": (load_points(adev_path), "tab:blue", "o"),
        "MDEV (modified Allan)": (load_points(mdev_path), "tab:orange", "s"),
        "HDEV (Hadamard)": (load_points(hdev_path), "tab:green", "^"),
    }
    tau_t, tdev = load_points(tdev_path)

    figure, (left, right) = plt.subplots(1, 2, figsize=(11, 4.5), constrained_layout=True)
    for label, ((tau, deviation), colour, marker) in curves.items():
        if tau.size:
            left.loglog(tau, deviation, color=colour, marker=marker, markersize=4, linewidth=1, label=label)
    left.set_xlabel("averaging time tau (s)")
    left.set_ylabel("fractional frequency deviation")
    left.set_title("Frequency stability")
    left.grid(which="both", alpha=0.3)
    left.legend()
    if tau_t.size:
        right.loglog(tau_t, tdev * 1e12, color="tab:red", marker="D", markersize=4, linewidth=1)
    right.set_xlabel("averaging time tau (s)")
    right.set_ylabel("TDEV (ps)")
    right.set_title("Time deviation")
    right.grid(which="both", alpha=0.3)
    figure.savefig(out_path, dpi=110)
    counts = ", ".join(f"{len(points[0][0])}" for points in curves.values())
    print(f"plot: {out_path} ({counts} and {len(tau_t)} points)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
