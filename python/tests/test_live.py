"""veltrano live: the server on its own, and the page in headless Chromium
(Debian's chromium, chromium-driver and python3-selenium) against the
simulator, checked against the instrument's own rates and models."""
import math
import os
import queue
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.error
import urllib.request
from pathlib import Path

from simulated import environment_for_subprocess
from veltrano import Session

CHROMIUM, CHROMEDRIVER = "/usr/bin/chromium", "/usr/bin/chromedriver"
# The simulator's default detector and sources (its README, "Signal model").
PULSE_AMPLITUDE_V, AMPLITUDE_SPREAD_V = 0.5, 0.02
NOISE_RATE_HZ, NOISE_SCALE_V = 1e6, 0.01
PAIR_DELAY_PS, PAIR_JITTER_PS = 1500, 50


def efficiency(dac):
    return 1 / (1 + math.exp((abs(dac) - PULSE_AMPLITUDE_V) / AMPLITUDE_SPREAD_V))


def noise_rate(dac):
    return NOISE_RATE_HZ * math.exp(-abs(dac) / NOISE_SCALE_V)


def artifact_folder():
    folder = Path(os.environ.get("VELTRANO_TEST_ARTIFACTS", Path.cwd() / "test-artifacts"))
    folder.mkdir(parents=True, exist_ok=True)
    return folder


class LiveProcess:
    """veltrano live --sim in a child process; its output lines in a queue."""

    def __init__(self, folder, *options):
        self.process = subprocess.Popen([sys.executable, "-m", "veltrano", "live", "--sim", "--out", str(folder),
                                         *options], env=environment_for_subprocess(), stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, args=(self.process.stdout,), daemon=True).start()
        self.errors = []
        threading.Thread(target=lambda: self.errors.extend(self.process.stderr), daemon=True).start()

    def _read(self, stream):
        for line in stream:
            self.lines.put(line.rstrip("\n"))

    def line_starting(self, prefix, timeout_s=30):
        deadline = time.monotonic() + timeout_s
        while time.monotonic() < deadline:
            try:
                line = self.lines.get(timeout=0.2)
            except queue.Empty:
                if self.process.poll() is not None:
                    break
                continue
            if line.startswith(prefix):
                return line
        raise AssertionError(f"no line starting {prefix!r}; stderr: {''.join(self.errors)}")

    def url(self):
        return self.line_starting("live view: ").split(": ", 1)[1]

    def interrupt(self):
        self.process.send_signal(signal.SIGINT)
        return self.process.wait(timeout=30)

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()
        self.process.stderr.close()


class LiveServer(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix="veltrano-live-")

    def tearDown(self):
        self.folder.cleanup()

    def test_OtherAddressesNeedTheToken(self):
        live = LiveProcess(self.folder.name, "--host", "0.0.0.0", "--port", "0")
        try:
            url = live.url()
            self.assertIn("?token=", url)
            local = url.replace("0.0.0.0", "127.0.0.1")
            with self.assertRaises(urllib.error.HTTPError) as refused:
                urllib.request.urlopen(local.split("?")[0] + "chart.js", timeout=10)
            self.assertEqual(refused.exception.code, 403)
            with urllib.request.urlopen(local, timeout=10) as page:
                self.assertIn(b"veltrano live", page.read())
            self.assertEqual(live.interrupt(), 0)
        finally:
            live.close()

    def test_APortInUseIsNamed(self):
        with socket.socket() as taken:
            taken.bind(("127.0.0.1", 0))
            taken.listen()
            port = taken.getsockname()[1]
            live = LiveProcess(self.folder.name, "--port", str(port))
            try:
                self.assertEqual(live.process.wait(timeout=30), 1)
                time.sleep(0.2)
                self.assertIn(f"cannot listen on 127.0.0.1:{port}", "".join(live.errors))
            finally:
                live.close()


def browser_missing():
    try:
        import selenium  # noqa: F401
    except ImportError:
        return "python3-selenium is not installed"
    for program in (CHROMIUM, CHROMEDRIVER):
        if not shutil.which(program):
            return f"{program} is not installed (chromium, chromium-driver)"
    return None


@unittest.skipIf(browser_missing(), browser_missing())
class LivePageInABrowser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        cls.folder = tempfile.TemporaryDirectory(prefix="veltrano-live-page-")
        cls.live = LiveProcess(cls.folder.name, "--port", "0", "--window", "10000")
        cls.url = cls.live.url()
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--window-size=1400,1000"):
            options.add_argument(argument)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        cls.browser = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.live.close()
        cls.folder.cleanup()

    def snapshot_after(self, moment, timeout_s=20):
        """The page's first snapshot taken after moment (time.time())."""
        deadline = time.monotonic() + timeout_s
        while time.monotonic() < deadline:
            latest = self.browser.execute_script("return window.veltranoLive && window.veltranoLive.latest()")
            if latest and latest["time"] > moment:
                return latest
            time.sleep(0.1)
        self.fail(f"no update after {moment}")

    def displayed(self, element_id):
        return self.browser.find_element("id", element_id).text

    def set_dac(self, channel, value):
        from selenium.webdriver.common.keys import Keys
        field = self.browser.find_element("id", f"dac-{channel}")
        field.click()
        field.send_keys(Keys.CONTROL, "a")
        field.send_keys(str(value))
        self.assertEqual(field.get_attribute("value"), str(value))
        self.browser.find_element("id", f"set-dac-{channel}").click()

    def rate_after_setting(self, dac):
        """Channel 1's displayed rate once a whole second has passed at dac."""
        self.set_dac(1, dac)
        latest = self.snapshot_after(time.time() + 1.5)
        self.assertEqual(latest["channels"]["1"]["dac"], dac)
        return float(self.displayed("rate-1"))

    def test_PageShowsTheInstrumentAndItsControlsWork(self):
        self.browser.get(self.url)
        self.snapshot_after(time.time() + 1.2)
        # The displayed rate follows the instrument's.
        shown = [self.displayed("rate-1")]
        with Session(self.live_service_ini(), self.folder.name) as session:
            instrument = session.get_single_cps(1)
            for _ in range(10):
                self.snapshot_after(time.time())
                shown.append(self.displayed("rate-1"))
        self.assertGreater(len(set(shown)), 1, "the displayed rate does not update")
        rate = float(shown[-1])
        self.assertLess(abs(rate - instrument), 5 * math.sqrt(2 * instrument) + 1)

        # Thresholds move the rate along the detector's efficiency curve.
        signal_rate = rate - noise_rate(0.1)
        for dac in (0.52, 0.48):
            with self.subTest(dac=dac):
                expected = signal_rate * efficiency(dac) + noise_rate(dac)
                shown_rate = self.rate_after_setting(dac)
                self.assertLess(abs(shown_rate - expected), 5 * math.sqrt(expected) + 0.02 * expected)
        self.rate_after_setting(0.1)

        # The histogram's peak is the pair source's delay.
        peak = float(self.displayed("peak"))
        self.assertLess(abs(peak - PAIR_DELAY_PS), 3 * PAIR_JITTER_PS)

        screenshot = artifact_folder() / "live-view.png"
        self.browser.save_screenshot(str(screenshot))
        print(f"\nscreenshot: {screenshot}", file=sys.stderr)

        # A refused setting is shown with its call and code.
        self.set_dac(1, 5)
        banner = self.browser.find_element("id", "error")
        deadline = time.monotonic() + 10
        while not banner.is_displayed() and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertIn("set_dac", banner.text)
        self.assertIn("code 5", banner.text)

        severe = [entry for entry in self.browser.get_log("browser") if entry["level"] == "SEVERE"]
        self.assertEqual(severe, [])

        # The measurement stops when the last page goes, and the server on Ctrl-C.
        self.browser.get("about:blank")
        self.live.line_starting("live view: no page open")
        self.assertEqual(self.live.interrupt(), 0)

    def live_service_ini(self):
        """The service.ini that veltrano live wrote for its simulator."""
        return str(Path(self.folder.name) / "service.ini")


if __name__ == "__main__":
    unittest.main()
