"""Reads the CSV files the analyses write: a header line, then "x,y" rows.

Shared by the plot scripts beside it (they run as scripts, so this folder is
on their import path). It also puts the repository's python/ folder on that
path, so that they draw through veltrano.plot without an installed package.
"""
import sys
from pathlib import Path

import numpy as np

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "python"))


def load_points(path):
    """The (x, y) rows of one analysis CSV file as an (N, 2) array (N is 0
    when it has no rows)."""
    return np.loadtxt(path, delimiter=",", skiprows=1, ndmin=2).reshape(-1, 2)
