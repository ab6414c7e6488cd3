#!/usr/bin/env python3
"""Draws an energy spectrum with the coincidence-gated spectra of two channels.

    scripts/plot_energy.py SPECTRUM.csv GATED.csv AREA1.csv AREA2.csv OUT.png

SPECTRUM.csv is the file of an energy-spectrum analysis ("adc, counts");
GATED.csv, AREA1.csv and AREA2.csv are the three files of a
coincidence-gated energy analysis: the time-difference histogram ("tdiff,
counts", ps) and the spectra of the lower and the higher channel ("adc,
counts"). The spectra share the top panel (logarithmic counts), the time
differences have the bottom one. Channel numbers in the legend come from
the area files' names (..._ch1.csv).
"""
import re
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from analysis_csv import load_points  # noqa: E402


def dense_histogram(lower_edges, counts):
    """The service lists only the bins that hold counts: put the empty ones
    back, so that a gap in a spectrum is drawn as a gap. Returns the bin
    edges and the counts of every bin from the first to the last."""
    if lower_edges.size == 0:
        return np.zeros(1), np.empty(0)
    steps = np.diff(lower_edges)
    width = steps[steps > 0].min() if np.any(steps > 0) else 1.0
    index = np.rint((lower_edges - lower_edges[0]) / width).astype(int)
    values = np.zeros(index[-1] + 1)
    np.add.at(values, index, counts)
    edges = lower_edges[0] + width * np.arange(values.size + 1)
    return edges, values


def channel_label(path, fallback):
    found = re.search(r"_ch(\d+)\.csv$", path)
    return f"channel {found.group(1)}, gated" if found else fallback


def main(argv):
    if len(argv) != 6:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    spectrum_path, gated_path, area1_path, area2_path, out_path = argv[1:]
    adc, counts = load_points(spectrum_path)
    tdiff, coincidences = load_points(gated_path)
    areas = [
        (load_points(area1_path), channel_label(area1_path, "area 1, gated"), "tab:orange"),
        (load_points(area2_path), channel_label(area2_path, "area 2, gated"), "tab:green"),
    ]

    figure, (top, bottom) = plt.subplots(2, 1, figsize=(8, 7), constrained_layout=True,
                                         gridspec_kw={"height_ratios": [3, 2]})
    if adc.size:
        top.stairs(*reversed(dense_histogram(adc, counts)), color="tab:blue", linewidth=1, label="energy spectrum")
    for (x, y), label, colour in areas:
        if x.size:
            top.stairs(*reversed(dense_histogram(x, y)), color=colour, linewidth=1, label=label)
    # Empty bins drop to the bottom of the logarithmic axis.
    top.set_yscale("log", nonpositive="clip")
    top.set_ylim(bottom=0.8)
    top.set_xlabel("pulse area (adc)")
    top.set_ylabel("counts")
    top.set_title("Energy spectra")
    top.grid(alpha=0.3)
    top.legend()
    if tdiff.size:
        bottom.step(tdiff / 1000.0, coincidences, where="mid", color="tab:purple", linewidth=1)
    bottom.set_xlabel("time difference, higher minus lower channel (ns)")
    bottom.set_ylabel("coincidences")
    bottom.set_title("Coincidences of the gated spectra")
    bottom.grid(alpha=0.3)
    figure.savefig(out_path, dpi=110)
    print(f"plot: {out_path} ({len(adc)} spectrum bins, {len(areas[0][0][0])} and {len(areas[1][0][0])} gated bins,"
          f" {len(tdiff)} time bins)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
