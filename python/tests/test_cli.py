"""The veltrano command-line tool against freshly started simulators."""
import contextlib
import io
import re
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

from simulated import REPOSITORY, environment_for_subprocess, expects_installed_package
from veltrano.cli import main

# Subcommand, its own options and a file it must leave in --out.
MEASUREMENTS = [
    ("rates", ["--channels", "1,2"], "single_cps.csv"),
    ("tof", [], "tof_counts.csv"),
    ("g2", ["--bin-width", "200"], "g2_cross_correlation.csv"),
    ("startstop", ["--stops", "2,3"], "startstop_start_stop_1_2*.csv"),
    ("ncoins", ["--channels", "1,2"], "ncoins_ch1_2.csv"),
    ("stability", ["--decades", "3"], "clock_adev.csv"),
    ("autocorr", ["--channel", "2"], "autocorr.csv"),
    ("tot", [], "tot.csv"),
    ("spectrum", ["--integration", "1024", "--area-scale", "16"], "spectrum.csv"),
    ("adc", [], "adc.csv"),
    ("acquire", [], "acquire_channels.csv"),
]


def run_cli(arguments):
    """Runs the tool in this process: (exit code, standard output, standard error)."""
    output, errors = io.StringIO(), io.StringIO()
    with contextlib.redirect_stdout(output), contextlib.redirect_stderr(errors):
        try:
            code = main(arguments)
        except SystemExit as exit_request:
            code = exit_request.code
    return code, output.getvalue(), errors.getvalue()


class CommandLineMeasurements(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix="veltrano-cli-")
        self.out = Path(self.folder.name)

    def tearDown(self):
        self.folder.cleanup()

    def test_EveryMeasurementWritesItsCsvAndPng(self):
        for command, options, expected in MEASUREMENTS:
            with self.subTest(command=command):
                out, png = self.out / command, self.out / f"{command}.png"
                code, output, errors = run_cli([command, "--sim", "--quiet", "--duration", "1", "--out", str(out),
                                                "--plot", str(png)] + options)
                self.assertEqual(code, 0, errors)
                self.assertTrue(list(out.glob(expected)), f"{expected} missing; wrote {sorted(out.iterdir())}")
                self.assertEqual(png.read_bytes()[:8], b"\x89PNG\r\n\x1a\n")
                self.assertIn(f"plot: {png}", output)

    def test_DevicesAndStatusPrintSummaries(self):
        code, output, _ = run_cli(["devices", "--sim", "--out", str(self.out)])
        self.assertEqual(code, 0)
        self.assertRegex(output, r"0: type 1, ")
        code, output, _ = run_cli(["status", "--sim", "--out", str(self.out)])
        self.assertEqual(code, 0)
        self.assertIn("16 channels", output)

    def test_HexConvertsALocalFile(self):
        source = self.out / "raw.bin"
        source.write_bytes(bytes(range(10)))
        code, output, errors = run_cli(["hex", str(source), "--sim", "--out", str(self.out)])
        self.assertEqual(code, 0, errors)
        self.assertEqual((self.out / "raw_convert.dat").read_text(), "0001020304050607\n0809\n")

    def test_BadArgumentsExitWithTwo(self):
        for arguments in (["tof", "--duration", "0", "--sim"], ["tof", "--out", str(self.out)],
                          ["rates", "--channels", "one", "--sim"], ["frobnicate"], []):
            with self.subTest(arguments=arguments):
                code, _, errors = run_cli(arguments)
                self.assertEqual(code, 2)
                self.assertIn("error:", errors)

    def test_FailedCallsExitWithOneAndSayWhy(self):
        code, _, errors = run_cli(["tof", "--sim", "--ch1", "99", "--out", str(self.out)])
        self.assertEqual(code, 1)
        self.assertIn("tof_analysis", errors)
        self.assertIn("code 4", errors)
        config = self.out / "nowhere.ini"
        config.write_text("[server]\nserver.ip = 127.0.0.1\nserver.port = 1\n")
        code, _, errors = run_cli(["devices", "--config", str(config), "--out", str(self.out)])
        self.assertEqual(code, 1)
        self.assertIn("cannot open a session", errors)

    def test_RunsAsAModuleWithHelpOnEverySubcommand(self):
        for command in ["devices", "status", "hex", "live"] + [entry[0] for entry in MEASUREMENTS]:
            with self.subTest(command=command):
                finished = subprocess.run([sys.executable, "-m", "veltrano", command, "--help"],
                                          env=environment_for_subprocess(), capture_output=True, text=True)
                self.assertEqual(finished.returncode, 0, finished.stderr)
                self.assertIn("--out", finished.stdout)

    def test_ReadmePythonExamplesRun(self):
        readme = (REPOSITORY / "README.md").read_text()
        section = readme[readme.index("\n## Python\n"):readme.index("\n## The instrument simulator")]
        blocks = re.findall(r"```python\n(.*?)```", section, re.S)
        self.assertGreaterEqual(len(blocks), 3)
        for number, code in enumerate(blocks):
            with self.subTest(block=number):
                finished = subprocess.run([sys.executable, "-c", code], cwd=self.out, capture_output=True, text=True,
                                          env=dict(environment_for_subprocess(), MPLBACKEND="Agg"), timeout=120)
                self.assertEqual(finished.returncode, 0, finished.stderr)

    def test_InstalledPackageHasItsConsoleCommand(self):
        if not expects_installed_package():
            self.skipTest("the source tree's package (the venv run of the test command checks the installed one)")
        import veltrano
        self.assertNotIn(str(Path(__file__).resolve().parent.parent), str(Path(veltrano.__file__).resolve()))
        command = Path(sys.executable).parent / "veltrano"
        finished = subprocess.run([str(command), "devices", "--sim", "--out", str(self.out)], capture_output=True,
                                  text=True)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        self.assertIn("0: type 1, ", finished.stdout)


if __name__ == "__main__":
    unittest.main()
