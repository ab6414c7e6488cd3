"""Blocking helpers for whole measurements.

Each starts its run, shows the progress on a terminal while it lasts,
collects the results as numpy arrays and stops the run through the
library's stop function; an interrupt (Ctrl-C) or any error stops the run
too before it is passed on. Stopping a run started with a file name saves
its CSV files.
"""
import time
from collections import namedtuple
from contextlib import contextmanager

import numpy as np

from .errors import VeltranoError
from .progress import progress_for
from .raw import decode_raw

# After the duration the service needs a moment before the run is complete.
SETTLE_S = 0.3
# Record and raw-point fetches wait this long for the first data after a run.
COLLECT_TIMEOUT_MS = 300

TofResult = namedtuple("TofResult", "histogram g2 t3")
G2Result = namedtuple("G2Result", "g2 t2")
StabilityResult = namedtuple("StabilityResult", "histogram periods adev mdev tdev hdev")
SpectrumResult = namedtuple("SpectrumResult", "spectrum records")
TotResult = namedtuple("TotResult", "histogram records")
GatedSpectrumResult = namedtuple("GatedSpectrumResult", "tdiff area1 area2")
StartStopResult = namedtuple("StartStopResult", "histograms averages")
NcoinsResult = namedtuple("NcoinsResult", "counts rates records")
AcquireResult = namedtuple("AcquireResult", "raw events data_format")

STABILITY_METRICS = ("adev", "mdev", "tdev", "hdev")


@contextmanager
def stopping(stop):
    """Runs stop when the block ends, however it ends. A failing stop after
    an error or interrupt does not hide that error."""
    try:
        yield
    except BaseException:
        try:
            stop()
        except VeltranoError:
            pass
        raise
    stop()


def wait_for_run(duration, label, progress=None):
    """Sleeps through a run of duration seconds, showing its progress."""
    display = progress_for(label, duration, progress)
    start = time.monotonic()
    try:
        while True:
            elapsed = time.monotonic() - start
            display.update(elapsed)
            if elapsed >= duration + SETTLE_S:
                return
            time.sleep(min(0.1, duration + SETTLE_S - elapsed))
    finally:
        display.finish()


def collect(fetch, empty_after_ms=COLLECT_TIMEOUT_MS):
    """Fetches batches until one comes back empty; returns them joined."""
    batches = []
    while True:
        batch = fetch(empty_after_ms)
        if len(batch) == 0:
            break
        batches.append(batch)
    return np.concatenate(batches) if batches else batch


def run_tof(session, duration, ch1, ch2, window_ps=10000, avg_times=1, g2_bin_width_ps=100, dcr=(0, 0),
            virtual_twin=0, t3=False, folder=None, file_name=None, progress=None):
    """Time-of-flight histogram (ps, counts) and g2 cross-correlation of ch2 after ch1."""
    session.tof_analysis(duration, ch1, ch2, window_ps, t3, avg_times, folder, file_name)
    with stopping(session.stop_tof_analysis):
        session.set_cross_correlation_config(virtual_twin, g2_bin_width_ps, dcr[0], dcr[1])
        wait_for_run(duration, "time of flight", progress)
        histogram = session.fetch_tof_processdata()
        g2 = session.fetch_cross_correlation_data()
        records = collect(session.fetch_t3_data) if t3 and not file_name else None
    return TofResult(histogram, g2, records)


def run_g2(session, duration, channel, min_tau=-1e-7, max_tau=1e-7, bins=200, t2=False, folder=None,
           file_name=None, progress=None):
    """Autocorrelation g2 (delay s, g2) of one channel, and its T2 records."""
    session.autocorrelation_analysis(duration, channel, min_tau, max_tau, bins, t2, folder, file_name)
    with stopping(session.stop_autocorrelation_analysis):
        wait_for_run(duration, "autocorrelation", progress)
        g2 = session.fetch_autocorrelation_data()
        records = collect(session.fetch_t2_data) if t2 and not file_name else None
    return G2Result(g2, records)


def run_stability(session, duration, fnom_hz, decades=5, decade_points=5, sampling_interval_ms=10,
                  folder=None, file_name=None, progress=None):
    """Period histogram, per-cycle periods and the four deviation curves (tau s, deviation)."""
    session.period_analysis(duration, decades, decade_points, fnom_hz, sampling_interval=sampling_interval_ms,
                            folder_path=folder, file_name=file_name)
    periods = []
    with stopping(session.stop_period_analysis):
        wait_for_run(duration, "period", progress)
        histogram = session.fetch_period_processdata()
        metrics = [session.fetch_period_stability_metric(kind) for kind in range(len(STABILITY_METRICS))]
        if not file_name:
            periods = collect(session.fetch_period_rawdata)
    return StabilityResult(histogram, np.asarray(periods, dtype=np.int64).reshape(-1, 2), *metrics)


def run_spectrum(session, duration, channel, ad_integration_point=64, area_scale=1, records=False, folder=None,
                 file_name=None, progress=None):
    """Energy spectrum (adc, counts) of an A/D channel, and its ES records."""
    session.es_analysis(duration, channel, ad_integration_point, area_scale, records, folder, file_name)
    with stopping(session.stop_es_analysis):
        wait_for_run(duration, "energy spectrum", progress)
        spectrum = session.fetch_es_processdata()
        kept = collect(session.fetch_es_data) if records and not file_name else None
    return SpectrumResult(spectrum, kept)


def run_tot(session, duration, channel, records=False, folder=None, file_name=None, progress=None):
    """Time-over-threshold histogram (ps, counts) and TOT records."""
    session.tot_analysis(duration, channel, records, folder, file_name)
    with stopping(session.stop_tot_analysis):
        wait_for_run(duration, "time over threshold", progress)
        histogram = session.fetch_tot_processdata()
        kept = collect(session.fetch_tot_data) if records and not file_name else None
    return TotResult(histogram, kept)


def run_gated_spectrum(session, duration, ch1, ch2, window1, window2, window_ps=5000, ad_integration_point=64,
                       area_scale=1, avg_times=1, folder=None, file_name=None, progress=None):
    """Coincidence-gated energy: time differences and the two channels' spectra."""
    session.conform_es_analysis(duration, ch1, ch2, ad_integration_point, area_scale, window1, window2, window_ps,
                                avg_times, folder, file_name)
    with stopping(session.stop_conform_es_analysis):
        wait_for_run(duration, "gated energy", progress)
        result = GatedSpectrumResult(session.fetch_conform_es_processdata(),
                                     session.fetch_conform_es_area1_processdata(),
                                     session.fetch_conform_es_area2_processdata())
    return result


def run_startstop(session, duration, groups, window_ps=100000, folder=None, file_name=None, progress=None):
    """Start-stop histograms: {(start, stop): (N, 2)} and {start: average}."""
    session.startstop_analysis(duration, groups, window_ps, folder_path=folder, file_name=file_name)
    with stopping(session.stop_startstop_analysis):
        wait_for_run(duration, "start-stop", progress)
        histograms = {(start, stop): session.fetch_startstop_processdata(start, stop)
                      for start, stops in groups.items() for stop in stops}
        averages = {start: session.fetch_startstop_average_processdata(start)
                    for start, stops in groups.items() if len(stops) > 1}
    return StartStopResult(histograms, averages)


def run_ncoins(session, duration, strategies, records=False, folder=None, file_name=None, progress=None):
    """N-fold coincidences: per strategy its counts per second (s, cps) and records."""
    session.ncoins_analysis(duration, strategies, records, folder, file_name)
    with stopping(session.stop_ncoins_analysis):
        wait_for_run(duration, "n-fold coincidences", progress)
        counts = session.fetch_tof_processdata()  # one point (strategy index, count) per strategy
        rates = [session.fetch_ncoins_cps(index) for index in range(len(strategies))]
        kept = None
        if records and not file_name:
            kept = [collect(lambda timeout, index=index: session.fetch_ncoins_rawdata(index, timeout))
                    for index in range(len(strategies))]
    return NcoinsResult(counts, rates, kept)


def run_adc(session, duration, channel, ad_integration_point=64, sampling_num=4096, sampling_interval_ms=10,
            folder=None, file_name=None, progress=None):
    """A/D samples (sampling point, adc) of an odd channel."""
    session.ad_analysis(duration, channel, ad_integration_point, sampling_interval_ms, sampling_num, folder,
                        file_name)
    with stopping(session.stop_ad_analysis):
        wait_for_run(duration, "A/D sampling", progress)
        samples = collect(session.fetch_ad_rawdata) if not file_name else np.empty((0, 2), dtype=np.int64)
    return samples.reshape(-1, 2)


def acquire(session, duration, data_format=0, progress=None):
    """Raw acquisition into memory: the bytes and the decoded events
    (structured array, see raw.RAW_FORMATS). Each chunk is copied once from
    the library and once more into the joined result; for long acquisitions
    use session.stream() instead."""
    chunks = []
    display = progress_for("acquisition", duration, progress)
    start = time.monotonic()
    try:
        with session.stream(duration, data_format, decode=False) as raw_stream:
            for chunk in raw_stream:
                chunks.append(chunk)
                display.update(time.monotonic() - start)
    finally:
        display.finish()
    raw = np.concatenate(chunks) if len(chunks) != 1 else chunks[0]
    return AcquireResult(raw, decode_raw(raw, data_format), data_format)
