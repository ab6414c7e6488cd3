import tempfile
import unittest
from pathlib import Path

import numpy as np
from matplotlib.figure import Figure

from veltrano import plot


class Plots(unittest.TestCase):
    def test_DrawIntoAGivenAxesAndReturnIt(self):
        axes = Figure().add_subplot()
        points = np.array([[-100, 3], [0, 10], [100, 4]])
        self.assertIs(plot.histogram(points, ax=axes), axes)
        self.assertEqual(len(axes.lines), 1)
        np.testing.assert_array_equal(axes.lines[0].get_ydata(), [3, 10, 4])

    def test_DeviationsUseLogLogAxesAndLeaveOutNonPositivePoints(self):
        axes = Figure().add_subplot()
        curves = {"adev": np.array([[1e-5, 1e-6], [1e-4, 0.0], [1e-3, 1e-8]]), "mdev": np.empty((0, 2))}
        plot.deviations(curves, ax=axes)
        self.assertEqual((axes.get_xscale(), axes.get_yscale()), ("log", "log"))
        self.assertEqual(len(axes.lines), 1)
        self.assertEqual(len(axes.lines[0].get_xdata()), 2)

    def test_SpectrumDrawsTheEmptyBinsTheServiceLeavesOut(self):
        axes = Figure().add_subplot()
        plot.spectrum(np.array([[10, 5], [11, 7], [14, 2]]), ax=axes)
        values, edges, _ = axes.patches[0].get_data()
        np.testing.assert_array_equal(values, [5, 7, 0, 0, 2])
        np.testing.assert_array_equal(edges, [10, 11, 12, 13, 14, 15])

    def test_WritesAPngFileWhenGivenAPath(self):
        with tempfile.TemporaryDirectory() as folder:
            path = str(Path(folder, "rates.png"))
            rows = np.array([[100, 1, 150], [100, 2, 160], [200, 1, 155], [200, 2, 158]])
            self.assertEqual(plot.rate_history(rows, path=path), path)
            self.assertEqual(Path(path).read_bytes()[:4], b"\x89PNG")

    def test_NeedsAnAxesOrAPath(self):
        with self.assertRaises(ValueError):
            plot.spectrum(np.array([[1, 2]]))


if __name__ == "__main__":
    unittest.main()
