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

from analysis_csv import load_points
from veltrano import plot


def channel_label(path, fallback):
    found = re.search(r"_ch(\d+)\.csv$", path)
    return f"channel {found.group(1)}, gated" if found else fallback


def main(argv):
    if len(argv) != 6:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    spectrum_path, gated_path, area1_path, area2_path, out_path = argv[1:]
    spectra = [
        (load_points(spectrum_path), "energy spectrum"),
        (load_points(area1_path), channel_label(area1_path, "area 1, gated")),
        (load_points(area2_path), channel_label(area2_path, "area 2, gated")),
    ]
    coincidences = load_points(gated_path)

    figure, (top, bottom) = plot.panels(2)
    for points, label in spectra:
        plot.spectrum(points, ax=top, title="Energy spectra", label=label)
    top.set_xlabel("pulse area (adc)")
    plot.histogram(coincidences * [1e-3, 1], ax=bottom, xlabel="time difference, higher minus lower channel (ns)",
                   ylabel="coincidences", title="Coincidences of the gated spectra")
    plot.save(figure, out_path)
    print(f"plot: {out_path} ({len(spectra[0][0])} spectrum bins, {len(spectra[1][0])} and {len(spectra[2][0])} gated"
          f" bins, {len(coincidences)} time bins)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
