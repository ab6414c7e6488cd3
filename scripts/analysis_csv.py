"""Reads the CSV files the analyses write: a header line, then "x,y" rows.

Shared by the plot scripts beside it (they run as scripts, so this folder is
on their import path).
"""
import numpy as np


def load_points(path):
    """The x and y columns of one analysis CSV file (empty when it has no rows)."""
    data = np.loadtxt(path, delimiter=",", skiprows=1, ndmin=2)
    if data.size == 0:
        return np.empty(0), np.empty(0)
    return data[:, 0], data[:, 1]
