"""The veltrano command-line tool: one subcommand per measurement.

    python3 -m veltrano tof --sim --duration 2 --out results --plot tof.png

Every subcommand takes the shared options (--config or --sim, --out,
--plot, --duration, ...) and its measurement's own; it prints a short
summary, leaves its CSV files in --out and, with --plot, writes a PNG.
Exit codes: 0 done, 1 a failed call, 2 bad arguments, 130 interrupted.
"""
import argparse
import contextlib
import sys
import time
from pathlib import Path

import numpy as np

from . import measure, plot
from .errors import VeltranoError
from .event_files import open_event_file
from .progress import progress_for
from .raw import RAW_FORMATS
from .session import Session
from .sim import Simulator


def _channel_list(text):
    try:
        channels = [int(part) for part in text.split(",") if part.strip()]
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a comma-separated list of channels: {text!r}")
    if not channels:
        raise argparse.ArgumentTypeError("no channel given")
    return channels


def _positive(text):
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a whole number: {text!r}")
    if value <= 0:
        raise argparse.ArgumentTypeError(f"must be above 0: {text!r}")
    return value


def common_options():
    """The options every subcommand shares."""
    options = argparse.ArgumentParser(add_help=False)
    connection = options.add_argument_group("connection")
    connection.add_argument("--config", metavar="INI", help="the library's INI file naming the service address")
    connection.add_argument("--sim", action="store_true", help="run against a freshly started simulator")
    connection.add_argument("--sim-config", metavar="INI", help="the simulator's own INI file (with --sim)")
    connection.add_argument("--seed", type=int, default=1, help="the simulator's seed (with --sim; default 1)")
    connection.add_argument("--device-type", type=int, default=1, help="device type to link to (default 1)")
    output = options.add_argument_group("output")
    output.add_argument("--out", metavar="DIR", default="veltrano-output",
                        help="folder for CSV files and the log (default veltrano-output)")
    output.add_argument("--plot", metavar="FILE", help="also draw the result into this PNG file")
    output.add_argument("--quiet", action="store_true", help="no progress display")
    return options


def _duration_option(parser, default):
    parser.add_argument("--duration", type=_positive, default=default, metavar="S",
                        help=f"measurement time in seconds (default {default})")


def build_parser():
    shared = common_options()
    parser = argparse.ArgumentParser(prog="veltrano", description="Measurements with the veltranoapi library.")
    commands = parser.add_subparsers(dest="command", metavar="COMMAND", required=True)

    def command(name, help_text, handler, duration=None):
        sub = commands.add_parser(name, parents=[shared], help=help_text, description=help_text)
        sub.set_defaults(handler=handler)
        if duration is not None:
            _duration_option(sub, duration)
        return sub

    command("devices", "list the service's devices", show_devices)
    command("status", "print the device's status and identity", show_status)
    sub = command("rates", "read and record count rates", record_rates, duration=2)
    sub.add_argument("--channels", type=_channel_list, default=[1, 2, 3, 4], help="e.g. 1,2,3 (default 1,2,3,4)")
    sub.add_argument("--window", type=_positive, default=2000, help="coincidence window in ps (default 2000)")
    for name, help_text in (("tof", "time-of-flight histogram of ch2 after ch1"),
                            ("g2", "g2 cross-correlation of ch2 against ch1")):
        sub = command(name, help_text, run_tof, duration=2)
        sub.add_argument("--ch1", type=int, default=1, help="start channel (default 1)")
        sub.add_argument("--ch2", type=int, default=2, help="stop channel (default 2)")
        sub.add_argument("--window", type=_positive, default=10000, help="coincidence window in ps (default 10000)")
        sub.add_argument("--avg", type=_positive, default=1, help="averaging runs (default 1)")
        sub.add_argument("--bin-width", type=_positive, default=100, help="g2 bin width in ps (default 100)")
        sub.add_argument("--dcr", type=int, nargs=2, default=[0, 0], metavar=("DCR1", "DCR2"),
                         help="dark count rates to take out of g2, per second (default 0 0)")
    sub = command("startstop", "start-stop histograms", run_startstop, duration=2)
    sub.add_argument("--start", type=int, default=1, help="start channel (default 1)")
    sub.add_argument("--stops", type=_channel_list, default=[2], help="stop channels, e.g. 2,3 (default 2)")
    sub.add_argument("--window", type=_positive, default=100000, help="window in ps (default 100000)")
    sub = command("ncoins", "n-fold coincidence counting", run_ncoins, duration=2)
    sub.add_argument("--channels", type=_channel_list, default=[1, 2], help="strategy channels (default 1,2)")
    sub.add_argument("--virtual-twin", type=_positive, default=4,
                     help="window as a multiple of the board's coincidence window (default 4)")
    sub = command("stability", "period analysis of the clock and its deviations", run_stability, duration=2)
    sub.add_argument("--fnom", type=float, default=1e5, help="nominal frequency in Hz (default 100000)")
    sub.add_argument("--decades", type=_positive, default=4, help="decades of tau (default 4)")
    sub.add_argument("--decade-points", type=_positive, default=5, help="points per decade (default 5)")
    sub = command("autocorr", "autocorrelation g2 of one channel", run_autocorr, duration=2)
    sub.add_argument("--channel", type=int, default=1, help="channel (default 1)")
    sub.add_argument("--min-tau", type=float, default=-1e-7, help="shortest delay in s (default -1e-7)")
    sub.add_argument("--max-tau", type=float, default=1e-7, help="longest delay in s (default 1e-7)")
    sub.add_argument("--bins", type=_positive, default=200, help="number of bins (default 200)")
    sub = command("tot", "time-over-threshold histogram", run_tot, duration=2)
    sub.add_argument("--channel", type=int, default=1, help="channel (default 1)")
    sub = command("spectrum", "energy spectrum of an A/D channel", run_spectrum, duration=2)
    sub.add_argument("--channel", type=int, default=1, help="odd (A/D) channel (default 1)")
    sub.add_argument("--integration", type=_positive, default=64, help="A/D integration points (default 64)")
    sub.add_argument("--area-scale", type=_positive, default=1, help="divisor of pulse areas (default 1)")
    sub = command("adc", "A/D samples of an odd channel", run_adc, duration=1)
    sub.add_argument("--channel", type=int, default=1, help="odd (A/D) channel (default 1)")
    sub.add_argument("--integration", type=_positive, default=64, help="samples per pulse (default 64)")
    sub.add_argument("--samples", type=_positive, default=4096, help="samples per fetch (default 4096)")
    sub = command("acquire", "raw time-tag acquisition", run_acquire, duration=1)
    sub.add_argument("--format", type=int, choices=(0, 1, 2), default=0, dest="data_format",
                     help="raw data format: 0 time tags, 1 with pulses, 2 CSV text (default 0)")
    sub.add_argument("--compress", choices=("gzip", "lzf"),
                     help="compression of an .h5 --out file (default none)")
    sub.epilog = ("With --out FILE.npy or FILE.h5 the events are streamed into that file as they arrive "
                  "(structured records; the file stays valid when the run is interrupted).")
    sub = commands.add_parser("live", parents=[shared], help="live count rates and histograms in a web browser",
                              description="Serves a live view of count rates, coincidences, the time-of-flight "
                              "histogram and g2 with controls, until Ctrl-C.")
    sub.set_defaults(handler=run_live)
    sub.add_argument("--host", default="127.0.0.1",
                     help="address to listen on (default 127.0.0.1; any other needs the printed token)")
    sub.add_argument("--port", type=int, default=8765, help="TCP port (default 8765; 0 picks a free one)")
    sub.add_argument("--ch1", type=int, default=1, help="start channel of the pair (default 1)")
    sub.add_argument("--ch2", type=int, default=2, help="stop channel of the pair (default 2)")
    sub.add_argument("--window", type=_positive, default=10000,
                     help="time-of-flight window in ps (default 10000)")
    sub = command("hex", "convert a raw data file to hex text", convert_hex)
    sub.add_argument("input", help="the raw data file")
    sub.add_argument("--output", help="the hex file (default: the input's name + _convert.dat)")
    return parser


@contextlib.contextmanager
def open_session(args):
    """The session the subcommand works with; with --sim on its own simulator."""
    out = output_folder(args)
    out.mkdir(parents=True, exist_ok=True)
    with contextlib.ExitStack() as stack:
        if args.sim:
            simulator = stack.enter_context(Simulator(seed=args.seed, config=args.sim_config))
            config = simulator.write_service_ini(out)
        elif args.config:
            config = args.config
        else:
            raise UsageError("give --config INI (the service's address) or --sim")
        session = stack.enter_context(Session(config, out))
        yield session


class UsageError(Exception):
    pass


EVENT_FILE_EXTENSIONS = (".npy", ".h5", ".hdf5")


def _streams_to_file(args):
    return args.command == "acquire" and Path(args.out).suffix.lower() in EVENT_FILE_EXTENSIONS


def output_folder(args):
    """--out, or the folder of the event file that acquire --out names."""
    out = Path(args.out).resolve()
    return out.parent if _streams_to_file(args) else out


def _progress(args):
    return False if args.quiet else None


def _saving(args, file_name):
    """Options of a helper run whose CSV files the library writes into --out."""
    return {"folder": str(Path(args.out).resolve()), "file_name": file_name, "progress": _progress(args)}


def _peak(points):
    if len(points) == 0:
        return "no data"
    best = int(np.argmax(points[:, 1]))
    return f"peak {points[best, 1]:g} at {points[best, 0]:g}"


def _csv_files(out, stem):
    return sorted(str(path) for path in Path(out).glob(f"{stem}*.csv"))


def _report_files(args, stem):
    for path in _csv_files(args.out, stem):
        print(f"file: {path}")


def _draw(args, draw):
    if args.plot:
        draw(args.plot)
        print(f"plot: {args.plot}")


def show_devices(session, args):
    for index, (device_type, name) in enumerate(session.get_devices()):
        print(f"{index}: type {device_type}, {name}")


def show_status(session, args):
    session.connect(args.device_type)
    status = session.get_device_status()
    print(f"firmware {session.get_fw_version()}, serial {session.get_product_sn()}, "
          f"library {session.get_sw_version()}")
    print(f"model {session.get_device_model()}, type {session.get_device_type()}, "
          f"{session.get_channel_num()} channels, fan {session.get_fan_speed()} rpm")
    print(f"temperature {status['temperature']} C, currents "
          + ", ".join(f"{status[f'current{i}']:.3f}" for i in range(1, 9)) + " A")


def record_rates(session, args):
    session.connect(args.device_type)
    session.set_coins_time_window(args.window)
    for channel in args.channels:
        print(f"channel {channel}: {session.get_single_cps(channel)} counts/s, "
              f"{session.get_coins_cps(channel)} coincident counts/s")
    out = str(Path(args.out).resolve())
    session.output_single_cps(args.duration, out, "single_cps.csv")
    with measure.stopping(session.stop_singlecps_recording):
        session.output_coins_cps(args.duration, out, "coins_cps.csv")
        with measure.stopping(session.stop_coinscps_recording):
            measure.wait_for_run(args.duration, "count rates", _progress(args))
    _report_files(args, "single_cps")
    _report_files(args, "coins_cps")
    rows = np.loadtxt(Path(out) / "single_cps.csv", delimiter=",", skiprows=1, ndmin=2).reshape(-1, 3)
    rows = rows[np.isin(rows[:, 1], args.channels)]
    _draw(args, lambda path: plot.rate_history(rows, path=path, title="Single count rates"))


def run_tof(session, args):
    session.connect(args.device_type)
    result = measure.run_tof(session, args.duration, args.ch1, args.ch2, args.window, args.avg, args.bin_width,
                             args.dcr, **_saving(args, f"{args.command}.csv"))
    print(f"histogram: {len(result.histogram)} bins, {int(result.histogram[:, 1].sum())} counts, "
          f"{_peak(result.histogram)} ps")
    print(f"g2: {len(result.g2)} points, {_peak(result.g2)} ps")
    _report_files(args, args.command)

    def draw(path):
        if args.command == "g2":
            plot.g2_curve(result.g2, path=path, title=f"g2, channel {args.ch2} against {args.ch1}")
            return
        figure, (top, bottom) = plot.panels(2)
        plot.histogram(result.histogram, ax=top, title=f"Time of flight, channel {args.ch2} after {args.ch1}")
        plot.g2_curve(result.g2, ax=bottom)
        plot.save(figure, path)
    _draw(args, draw)


def run_startstop(session, args):
    session.connect(args.device_type)
    result = measure.run_startstop(session, args.duration, {args.start: args.stops}, args.window,
                                   **_saving(args, "startstop"))
    for (start, stop), points in result.histograms.items():
        print(f"start {start}, stop {stop}: {int(points[:, 1].sum()) if len(points) else 0} counts, "
              f"{_peak(points)} ps")
    _report_files(args, "startstop")

    def draw(path):
        figure, (axes,) = plot.panels(1)
        for (start, stop), points in result.histograms.items():
            axes.step(points[:, 0], points[:, 1], where="post", label=f"{start} -> {stop}")
        axes.set_xlabel("time difference (ps)")
        axes.set_ylabel("counts")
        axes.legend()
        plot.save(figure, path)
    _draw(args, draw)


def run_ncoins(session, args):
    session.connect(args.device_type)
    name = "ch" + "_".join(str(channel) for channel in args.channels)
    result = measure.run_ncoins(session, args.duration, [(name, args.channels, args.virtual_twin)],
                                **_saving(args, "ncoins.csv"))
    total = int(result.counts[0, 1]) if len(result.counts) else 0
    print(f"strategy {name}: {total} coincidences in {args.duration} s")
    _report_files(args, "ncoins")
    _draw(args, lambda path: plot.rate_history(result.rates[0], path=path, title=f"Coincidences {name}"))


def run_stability(session, args):
    session.connect(args.device_type)
    result = measure.run_stability(session, args.duration, args.fnom, args.decades, args.decade_points,
                                   **_saving(args, "clock.csv"))
    cycles = int(result.histogram[:, 1].sum()) if len(result.histogram) else 0
    print(f"periods: {cycles} cycles in {len(result.histogram)} bins")
    if len(result.adev):
        print(f"ADEV {result.adev[0, 1]:.3g} at {result.adev[0, 0]:.3g} s, "
              f"{result.adev[-1, 1]:.3g} at {result.adev[-1, 0]:.3g} s")
    _report_files(args, "clock")
    curves = {name: getattr(result, name) for name in measure.STABILITY_METRICS}
    _draw(args, lambda path: plot.deviations(curves, path=path))


def run_autocorr(session, args):
    session.connect(args.device_type)
    result = measure.run_g2(session, args.duration, args.channel, args.min_tau, args.max_tau, args.bins,
                            **_saving(args, "autocorr.csv"))
    print(f"g2: {len(result.g2)} points, {_peak(result.g2)} s")
    _report_files(args, "autocorr")
    _draw(args, lambda path: plot.g2_curve(result.g2, path=path, xlabel="delay (s)",
                                           title=f"Autocorrelation, channel {args.channel}"))


def run_tot(session, args):
    session.connect(args.device_type)
    result = measure.run_tot(session, args.duration, args.channel, **_saving(args, "tot.csv"))
    print(f"time over threshold: {len(result.histogram)} bins, {_peak(result.histogram)} ps")
    _report_files(args, "tot")
    _draw(args, lambda path: plot.histogram(result.histogram, path=path, xlabel="time over threshold (ps)",
                                            title=f"Time over threshold, channel {args.channel}"))


def run_spectrum(session, args):
    session.connect(args.device_type)
    result = measure.run_spectrum(session, args.duration, args.channel, args.integration, args.area_scale,
                                  **_saving(args, "spectrum.csv"))
    pulses = int(result.spectrum[:, 1].sum()) if len(result.spectrum) else 0
    print(f"spectrum: {pulses} pulses in {len(result.spectrum)} bins, {_peak(result.spectrum)} adc")
    _report_files(args, "spectrum")
    _draw(args, lambda path: plot.spectrum(result.spectrum, path=path, title=f"Energy spectrum, channel "
                                           f"{args.channel}"))


def run_adc(session, args):
    session.connect(args.device_type)
    samples = measure.run_adc(session, args.duration, args.channel, args.integration, args.samples,
                              progress=_progress(args))
    path = Path(args.out).resolve() / "adc.csv"
    np.savetxt(path, samples, fmt="%d", delimiter=",", header="sampling_points, adc", comments="")
    print(f"A/D: {len(samples)} samples, largest {samples[:, 1].max() if len(samples) else 0}")
    print(f"file: {path}")
    _draw(args, lambda out: plot.histogram(samples[:2000], path=out, xlabel="sampling point", ylabel="adc",
                                           title=f"A/D samples, channel {args.channel}"))


def run_acquire(session, args):
    session.connect(args.device_type)
    if _streams_to_file(args):
        stream_to_event_file(session, args, Path(args.out).resolve())
        return
    if args.compress:
        raise UsageError("--compress applies to an .h5 --out file")
    result = measure.acquire(session, args.duration, args.data_format, progress=_progress(args))
    out = Path(args.out).resolve()
    raw_path = out / ("raw" + {0: ".bin", 1: ".dat", 2: ".csv"}[args.data_format])
    result.raw.tofile(raw_path)
    print(f"acquired {len(result.raw)} bytes into {raw_path}")
    if result.events is None:
        return
    channels, counts = np.unique(result.events["channel"], return_counts=True)
    table = np.column_stack([channels, counts]).astype(np.int64)
    np.savetxt(out / "acquire_channels.csv", table, fmt="%d", delimiter=",", header="channel, events", comments="")
    print(f"{len(result.events)} events on {len(channels)} channels")
    print(f"file: {out / 'acquire_channels.csv'}")
    _draw(args, lambda path: plot.histogram(table, path=path, xlabel="channel", ylabel="events",
                                            title="Events per channel"))


def stream_to_event_file(session, args, target):
    """Writes the acquisition's events into target as they arrive."""
    display = progress_for("acquisition", args.duration, _progress(args))
    start = time.monotonic()
    written = None
    try:
        with open_event_file(target, RAW_FORMATS[args.data_format], args.compress) as written, \
                session.stream(args.duration, args.data_format) as events_stream:
            for events in events_stream:
                written.append(events)
                display.update(time.monotonic() - start)
    except KeyboardInterrupt:
        if written is not None:
            print(f"\nveltrano acquire: interrupted; {written.count} events kept in {target}", file=sys.stderr)
        raise
    finally:
        display.finish()
    print(f"streamed {written.count} events ({events_stream.bytes_received} bytes) into {target}")


def run_live(session, args):
    from .web.server import serve_live_view
    serve_live_view(session, args)


def convert_hex(session, args):
    source = Path(args.input).resolve()
    if not source.is_file():
        raise UsageError(f"no such file: {args.input}")
    target = Path(args.output).resolve() if args.output else source.with_name(source.stem + "_convert.dat")
    session.convert_to_hex_local(str(source), str(target))
    print(f"hex text: {target}")


def main(argv=None):
    parser = build_parser()
    args = parser.parse_args(argv)
    try:
        with open_session(args) as session:
            args.handler(session, args)
        return 0
    except UsageError as error:
        parser.error(str(error))
    except VeltranoError as error:
        print(f"veltrano {args.command}: {error}", file=sys.stderr)
        return 1
    except (OSError, RuntimeError, ValueError) as error:
        print(f"veltrano {args.command}: {error}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print(f"\nveltrano {args.command}: interrupted, run stopped", file=sys.stderr)
        return 130
