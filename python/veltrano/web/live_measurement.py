"""What the live view shows and changes: count rates, the coincidence rate
of a pair, its time-of-flight histogram and g2, and the channel and board
settings, all through one session.

A poller thread takes a snapshot every UPDATE_INTERVAL_S while at least one
page is watching; the time-of-flight analysis runs only then and is stopped
when the last page leaves. Each control is one library call; its failure is
returned as text for the page, never swallowed.
"""
import threading
import time

import numpy as np

from ..errors import VeltranoError

UPDATE_INTERVAL_S = 0.2
# The analysis is restarted when it ends; its histogram then starts again.
ANALYSIS_DURATION_S = 3600
G2_BIN_WIDTH_PS = 100
EMPTY_SNAPSHOT = {"pair": [0, 0], "window_ps": 0, "coins_window_ps": 0, "channels": {}, "rates": {},
                  "coincidence_rate": -1, "histogram": [], "g2": [], "peak_ps": None, "errors": []}


class LiveMeasurement:
    """State behind the page. Every library call happens under one lock, so
    a control never lands in the middle of a snapshot."""

    def __init__(self, session, ch1=1, ch2=2, window_ps=10000):
        self.session = session
        self.pair = (ch1, ch2)
        self.window_ps = window_ps
        self.channel_count = max(session.get_channel_num(), 1)
        self.enabled = {channel: session.is_channel_enabled(channel)
                        for channel in range(1, self.channel_count + 1)}
        self.dac = {channel: session.get_dac(channel) for channel in range(1, self.channel_count + 1)}
        self.coins_window_ps = session.get_coins_time_window()
        self._lock = threading.Lock()
        self._snapshot_ready = threading.Condition()
        self._snapshot = None
        self._snapshot_number = 0
        self._watchers = 0
        self._analysis_started = None
        self._closed = False
        self._poller = None  # (thread, its stop event) while pages watch
        self.last_error = None

    # -- watchers ------------------------------------------------------------
    def watch(self):
        """A page starts watching: the measurement runs while any does."""
        with self._snapshot_ready:
            self._watchers += 1
            if self._poller is None:
                stop = threading.Event()
                thread = threading.Thread(target=self._poll, args=(stop,), name="live poller", daemon=True)
                self._poller = (thread, stop)
                thread.start()

    def unwatch(self):
        """A page left; the last one stops the measurement (then True)."""
        with self._snapshot_ready:
            self._watchers -= 1
            if self._watchers > 0:
                return False
            poller, self._poller = self._poller, None
        self._end_polling(poller)
        return True

    @property
    def watchers(self):
        return self._watchers

    def close(self):
        """Stops everything (Ctrl-C, server end)."""
        with self._snapshot_ready:
            poller, self._poller = self._poller, None
            self._watchers = 0
            self._closed = True
            self._snapshot_ready.notify_all()
        self._end_polling(poller)

    def _end_polling(self, poller):
        if poller is not None:
            thread, stop = poller
            stop.set()
            thread.join()
        with self._lock:
            self._stop_analysis()

    def next_snapshot(self, after_number, timeout_s=2.0):
        """The first snapshot newer than after_number (or None after the
        time-out or when stopping), with its number."""
        with self._snapshot_ready:
            self._snapshot_ready.wait_for(lambda: self._snapshot_number > after_number or self._closed, timeout_s)
            if self._snapshot_number > after_number:
                return self._snapshot_number, self._snapshot
            return after_number, None

    # -- polling ----------------------------------------------------------------
    def _poll(self, stop):
        next_at = time.monotonic()
        while not stop.is_set():
            with self._lock:
                try:
                    snapshot = self._take_snapshot()
                except Exception as error:  # keep the pages updating, showing what went wrong
                    snapshot = dict(self._snapshot or EMPTY_SNAPSHOT, time=time.time(), errors=[str(error)])
            with self._snapshot_ready:
                self._snapshot = snapshot
                self._snapshot_number += 1
                self._snapshot_ready.notify_all()
            next_at += UPDATE_INTERVAL_S
            stop.wait(max(0.0, next_at - time.monotonic()))

    def _take_snapshot(self):
        errors = []
        snapshot = {"time": time.time(), "pair": list(self.pair), "window_ps": self.window_ps,
                    "coins_window_ps": self.coins_window_ps,
                    "channels": {str(channel): {"enabled": enabled, "dac": self.dac[channel]}
                                 for channel, enabled in self.enabled.items()}}
        rates = {}
        for channel, enabled in self.enabled.items():
            if enabled:
                rates[str(channel)] = self.session.get_single_cps(channel)
        snapshot["rates"] = rates
        snapshot["coincidence_rate"] = self.session.get_coins_cps(self.pair[0])
        try:
            self._keep_analysis_running()
            histogram = self.session.fetch_tof_processdata()
            g2 = self.session.fetch_cross_correlation_data()
        except VeltranoError as error:
            errors.append(str(error))
            histogram, g2 = np.empty((0, 2)), np.empty((0, 2))
        snapshot["histogram"] = histogram.tolist()
        snapshot["g2"] = np.nan_to_num(g2).tolist()
        snapshot["peak_ps"] = float(histogram[np.argmax(histogram[:, 1]), 0]) if len(histogram) and \
            histogram[:, 1].max() > 0 else None
        snapshot["errors"] = errors
        return snapshot

    def _keep_analysis_running(self):
        started = self._analysis_started
        if started is not None and time.monotonic() - started < ANALYSIS_DURATION_S:
            return
        self._start_analysis()

    def _start_analysis(self):
        ch1, ch2 = self.pair
        self._analysis_started = None
        self.session.tof_analysis(ANALYSIS_DURATION_S, ch1, ch2, self.window_ps, False, 1, None, None)
        self.session.set_cross_correlation_config(0, G2_BIN_WIDTH_PS, 0, 0)
        self._analysis_started = time.monotonic()

    def _stop_analysis(self):
        if self._analysis_started is None:
            return
        self._analysis_started = None
        try:
            self.session.stop_tof_analysis()
        except VeltranoError:
            pass  # the page is gone; the next start replaces the run anyway

    # -- controls --------------------------------------------------------------
    def apply(self, request):
        """Carries out one control from the page; returns {"ok": True} or
        {"ok": False, "error": text naming the call and its code}."""
        try:
            action = request.get("action")
            control = CONTROLS.get(action)
            if control is None:
                raise ValueError(f"unknown control {action!r}")
            with self._lock:
                control(self, request)
            return {"ok": True}
        except VeltranoError as error:
            self.last_error = str(error)
        except (KeyError, TypeError, ValueError) as error:
            self.last_error = f"bad control request: {error}"
        return {"ok": False, "error": self.last_error}

    def _set_dac(self, request):
        channel, value = int(request["channel"]), float(request["value"])
        self.session.set_dac(channel, value)
        self.dac[channel] = value

    def _set_enabled(self, request):
        channel, enabled = int(request["channel"]), bool(request["enabled"])
        (self.session.enable_channel if enabled else self.session.disable_channel)(channel)
        self.enabled[channel] = enabled

    def _set_coins_window(self, request):
        value = int(request["value"])
        self.session.set_coins_time_window(value)
        self.coins_window_ps = value

    def _set_pair(self, request):
        """The pair and window of the histogram: the analysis restarts."""
        pair, window = (int(request["ch1"]), int(request["ch2"])), int(request["window_ps"])
        previous = self.pair, self.window_ps
        self.pair, self.window_ps = pair, window
        try:
            self._start_analysis()
        except VeltranoError:
            self.pair, self.window_ps = previous
            raise

    def _clear_histogram(self, request):
        if self.session.clear_analysis_data() != 0:
            raise VeltranoError(-1, "clear_analysis_data")


CONTROLS = {
    "dac": LiveMeasurement._set_dac,
    "enable": LiveMeasurement._set_enabled,
    "coins_window": LiveMeasurement._set_coins_window,
    "pair": LiveMeasurement._set_pair,
    "clear": LiveMeasurement._clear_histogram,
}
