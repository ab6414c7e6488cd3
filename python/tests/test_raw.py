"""Raw streams, recordings on disk and the offline analyses, against the
simulator (whose acquisitions of one seed and duration are the same events)."""
import math
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

import numpy as np

from simulated import SimulatedSessionTest, environment_for_subprocess
from veltrano import RAW_FORMATS, analysis, open_event_file, read_raw

# The simulator's pair source: channel 2 sees channel 1's photon 1500 ps later.
PAIR_DELAY_PS = 1500


def wait_until_written(session, folder, settle_s=0.5):
    """Waits for the service's end of the run and for the volume files to
    stop growing (the library has written everything it fetched)."""
    while session.is_rawdata_processing():
        time.sleep(0.1)
    sizes = None
    while True:
        time.sleep(settle_s)
        now = [path.stat().st_size for path in sorted(folder.iterdir())]
        if now == sizes:
            return
        sizes = now


def five_sigma(expected):
    return 5 * math.sqrt(max(expected, 1)) + 1


class StreamsAndRecordings(SimulatedSessionTest):
    def streamed(self, duration, data_format=0):
        with self.session.stream(duration, data_format) as chunks:
            pieces = list(chunks)
            self.assertEqual(chunks.pending_bytes, 0)
        return np.concatenate(pieces)

    def test_StreamedEventsEqualTheLocalVolumeSetReadBack(self):
        self.session.set_acq_dataformat(1)
        folder = Path(self.out, "volumes")
        # 1 MiB volumes of 24-byte records: the volume ends cut records in two.
        self.session.acq_rawdata_local(1, 0, str(folder), "run.dat", 1)
        wait_until_written(self.session, folder)
        self.session.stop_acq()
        recording = read_raw(folder / "run.dat")
        self.assertGreater(len(recording.paths), 1)
        self.assertTrue(any(isinstance(piece, np.memmap) for piece in recording))
        streamed = self.streamed(1, 1)
        np.testing.assert_array_equal(recording.concatenate(), streamed)
        # Pieces are analysed as they are, without joining them.
        self.assertEqual(analysis.channel_counts(recording), analysis.channel_counts(streamed))
        np.testing.assert_array_equal(analysis.time_difference_histogram(recording, 1, 2, 5000),
                                      analysis.time_difference_histogram(streamed, 1, 2, 5000))

    def test_EveryFormatStreamsTheSameEvents(self):
        binary = self.streamed(1, 0)
        with_pulses = self.streamed(1, 1)
        text = self.streamed(1, 2)
        for other in (with_pulses, text):
            np.testing.assert_array_equal(other["time_ps"], binary["time_ps"])
            np.testing.assert_array_equal(other["channel"], binary["channel"])
        np.testing.assert_array_equal(text["width_ps"], with_pulses["width_ps"])
        np.testing.assert_allclose(text["energy_kev"], with_pulses["energy_kev"], atol=6e-4)
        path = Path(self.out, "text.csv")
        path.write_text("".join(f"{t},{c},{w},{e:.3f}\n" for t, c, w, e in text[:100]))
        np.testing.assert_array_equal(read_raw(path).concatenate()["time_ps"], text["time_ps"][:100])

    def test_AnalysesAgreeWithTheInstrumentsOwn(self):
        time.sleep(1.2)  # a whole second of the instrument's own rate window
        instrument = {channel: self.session.get_single_cps(channel) for channel in (1, 2, 3)}
        events = self.streamed(2)
        rates = analysis.channel_rates(events, 2)
        for channel, expected in instrument.items():
            self.assertLess(abs(rates[channel] - expected), five_sigma(expected) * 1.5, channel)
        mine = analysis.time_difference_histogram(events, 1, 2, 10000)
        self.session.tof_analysis(2, 1, 2, 10000)
        time.sleep(2.3)
        theirs = self.session.fetch_tof_processdata()
        self.session.stop_tof_analysis()
        np.testing.assert_array_equal(mine[:, 0], theirs[:, 0])
        for histogram in (mine, theirs):
            self.assertLess(abs(peak_centre(histogram) - PAIR_DELAY_PS), 5)
        self.assertLess(abs(mine[:, 1].sum() - theirs[:, 1].sum()), five_sigma(theirs[:, 1].sum()) * 1.5)


def peak_centre(histogram, half_width_ps=300):
    """Mean time difference of the counts around the highest bin."""
    top = histogram[np.argmax(histogram[:, 1]), 0]
    near = np.abs(histogram[:, 0] - top) <= half_width_ps
    return np.average(histogram[near, 0], weights=histogram[near, 1])


class InTemporaryFolder(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix="veltrano-raw-")
        self.out = Path(self.folder.name)

    def tearDown(self):
        self.folder.cleanup()


class BadRecordings(InTemporaryFolder):

    def test_FilesThatAreNoRecordingsAreRefusedWithTheReason(self):
        events = np.zeros(6, dtype=RAW_FORMATS[0])
        events["channel"], events["time_ps"] = 3, np.arange(5, 11) * 10**9
        noise = np.random.default_rng(1).integers(0, 255, 4096, dtype=np.uint8).tobytes()
        cases = [("cut.bin", events.tobytes()[:-3], "whole number of 16-byte records"),
                 ("format0.dat", events.tobytes(), "format 1: its first records"),
                 ("noise.bin", noise, "channels 1..256"),
                 ("text.csv", b"1,2,3\nnot,a,record,here\n", "format 2"),
                 ("run.txt", b"", "extension")]
        for name, data, reason in cases:
            with self.subTest(name=name):
                (self.out / name).write_bytes(data)
                with self.assertRaisesRegex(ValueError, reason):
                    read_raw(self.out / name)
        with self.assertRaises(FileNotFoundError):
            read_raw(self.out / "missing.bin")

    def test_EventFilesStayValidWhenWritingStopsHalfway(self):
        dtype = RAW_FORMATS[1]
        for name in ("part.npy", "part.h5"):
            with self.subTest(name=name):
                with self.assertRaises(KeyboardInterrupt):
                    with open_event_file(self.out / name, dtype) as out:
                        out.append(np.ones(5, dtype=dtype))
                        raise KeyboardInterrupt
                self.assertEqual(len(load_events(self.out / name)), 5)


def load_events(path):
    if path.suffix == ".npy":
        return np.load(path, mmap_mode="r")
    import h5py
    with h5py.File(path, "r") as file:
        return file["events"][:]


class AcquireToFile(InTemporaryFolder):

    def acquire(self, target, *options):
        return subprocess.Popen([sys.executable, "-m", "veltrano", "acquire", "--sim", "--quiet", "--out",
                                 str(target), *options], env=environment_for_subprocess(), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)

    def test_StreamsIntoNpyAndCompressedHdf5(self):
        for name, options in (("run.npy", ["--format", "1"]), ("run.h5", ["--compress", "gzip"])):
            with self.subTest(name=name):
                process = self.acquire(self.out / name, "--duration", "1", *options)
                output, errors = process.communicate(timeout=60)
                self.assertEqual(process.returncode, 0, errors)
                events = load_events(self.out / name)
                self.assertIn(f"streamed {len(events)} events", output)
                self.assertGreater(len(events), 10000)
                self.assertTrue((np.diff(events["time_ps"]) >= 0).all())

    def test_CtrlCStopsTheRunAndLeavesAValidFile(self):
        target = self.out / "long.npy"
        process = self.acquire(target, "--duration", "600")
        deadline = time.monotonic() + 30
        while (not target.exists() or target.stat().st_size < 1 << 20) and time.monotonic() < deadline:
            time.sleep(0.1)
        process.send_signal(signal.SIGINT)
        _, errors = process.communicate(timeout=30)
        self.assertEqual(process.returncode, 130, errors)
        events = load_events(target)
        self.assertIn(f"{len(events)} events kept in {target}", errors)
        self.assertEqual(len(events) * 16 + 512, os.path.getsize(target))

    def test_AnUnwritableTargetFailsWithItsCause(self):
        (self.out / "blocker").write_text("a file, not a folder")
        process = self.acquire(self.out / "blocker" / "run.npy", "--duration", "1")
        _, errors = process.communicate(timeout=60)
        self.assertEqual(process.returncode, 1, errors)
        self.assertIn("blocker", errors)


if __name__ == "__main__":
    unittest.main()
