"""Progress display and interrupts of the blocking helpers."""
import io
import os
import signal
import threading
import unittest

from simulated import SimulatedSessionTest
from veltrano import measure
from veltrano.progress import Progress


class FakeTerminal(io.StringIO):
    def isatty(self):
        return True


class ProgressDisplay(unittest.TestCase):
    def test_SilentWhenNotATerminal(self):
        stream = io.StringIO()
        display = Progress("time of flight", 3, stream)
        display.update(1.2)
        display.finish()
        self.assertEqual(stream.getvalue(), "")

    def test_OneUpdatedLineOnATerminal(self):
        stream = FakeTerminal()
        display = Progress("time of flight", 3, stream)
        for elapsed in (0.1, 0.5, 1.2, 3.4):
            display.update(elapsed)
        display.finish()
        self.assertEqual(stream.getvalue(),
                         "\rtime of flight: 0 of 3 s\rtime of flight: 1 of 3 s\rtime of flight: 3 of 3 s\n")


class InterruptedRun(SimulatedSessionTest):
    def test_CtrlCStopsTheRunThroughTheLibrary(self):
        previous = signal.signal(signal.SIGINT, signal.default_int_handler)
        # The interrupt arrives while the helper sleeps through a long run.
        timer = threading.Timer(0.5, os.kill, (os.getpid(), signal.SIGINT))
        timer.start()
        try:
            with self.assertRaises(KeyboardInterrupt):
                measure.run_tof(self.session, 30, 1, 2, folder=self.out, file_name="interrupted.csv",
                                progress=False)
        finally:
            timer.join()
            signal.signal(signal.SIGINT, previous)
        # The library's stop saved the histogram of the stopped run at once.
        self.assertGreater(len(self.data_rows("interrupted_counts.csv")), 0)
        # And the run is over: a second stop finds nothing left to stop.
        self.session.stop_tof_analysis()


if __name__ == "__main__":
    unittest.main()
