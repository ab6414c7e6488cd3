#!/usr/bin/env python3
"""Raw stream throughput of the Python package against the C raw-stream
benchmark of the same run, in the simulator's stream mode (2 GiB in 4 MiB
replies).

- Python stream: `for events in session.stream(...)`, each chunk copied once
  into numpy and viewed as records (target: at least 0.8x the C figure
  "ci_acq_rawdata + ci_fetch_rawdata" of raw_stream_bench).
- Python stream into a .npy file, in a child process whose peak resident
  memory (VmHWM) must stay under 256 MiB.

The C figure is read from raw_stream_bench's log when bench/run.sh has run it
in this run (--c-log), otherwise raw_stream_bench is run here. As in the C
benchmark, the library's fixed 500 ms pause before its first poll is not
counted. Best of two rounds.

    bench/python_stream_bench.py BUILD_DIR [--c-log raw_stream_bench.log]
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile
import time
from pathlib import Path

TOTAL = 2048 << 20
CHUNK = 4 << 20
FIRST_POLL_PAUSE_S = 0.5
RATIO_TARGET = 0.8
RSS_LIMIT_MIB = 256
C_ROW = "raw stream: memory mode"
C_LABEL = "ci_acq_rawdata + ci_fetch_rawdata (C)"
REPOSITORY = Path(__file__).resolve().parent.parent


def stream_seconds(session, out_path=None):
    """One 2 GiB stream; with out_path also written to a .npy file."""
    from veltrano import RAW_FORMATS, open_event_file
    received = 0
    start = time.monotonic()
    writer = open_event_file(out_path, RAW_FORMATS[0]) if out_path else None
    try:
        with session.stream(600, data_format=0, data_mode=1) as chunks:
            for events in chunks:
                received += events.nbytes
                if writer:
                    writer.append(events)
    finally:
        if writer:
            writer.close()
    seconds = time.monotonic() - start - FIRST_POLL_PAUSE_S
    if received != TOTAL:
        raise RuntimeError(f"received {received} of {TOTAL} bytes")
    return seconds


def peak_rss_mib():
    for line in Path("/proc/self/status").read_text().splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1]) / 1024
    return float("nan")


def c_rate_from(log_text):
    """Our figure of raw_stream_bench's memory-mode row, in MiB/s."""
    found = re.search(r"^ROW\t" + re.escape(C_ROW) + r"\t([0-9.]+) MiB/s", log_text, re.MULTILINE)
    if not found:
        raise RuntimeError(f"no '{C_ROW}' row in raw_stream_bench's output")
    return float(found.group(1))


def with_simulator(build_dir, work):
    """A simulator in stream mode and a session on it."""
    from veltrano import Session
    from veltrano.sim import Simulator
    config = Path(work) / "sim.ini"
    config.write_text(f"[stream]\nchunk_bytes = {CHUNK}\ntotal_bytes = {TOTAL}\n")
    simulator = Simulator(config=config, program=str(Path(build_dir) / "sim" / "veltrano-sim")).start()
    session = Session(simulator.write_service_ini(work), work)
    return simulator, session


def child_to_file(build_dir):
    """The file round, in its own process: prints seconds and peak RSS."""
    with tempfile.TemporaryDirectory(prefix="veltrano-pybench-file-") as work:
        simulator, session = with_simulator(build_dir, work)
        try:
            seconds = stream_seconds(session, Path(work) / "stream.npy")
            size = (Path(work) / "stream.npy").stat().st_size
        finally:
            session.close()
            simulator.stop()
    print(f"{seconds} {peak_rss_mib()} {size}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build_dir", help="build tree with src/libveltranoapi64.so, sim/ and bench/")
    parser.add_argument("--c-log", help="raw_stream_bench's output from this run")
    parser.add_argument("--child-to-file", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    build_dir = Path(args.build_dir).resolve()
    os.environ["VELTRANO_LIB"] = str(build_dir / "src" / "libveltranoapi64.so")
    sys.path.insert(0, str(REPOSITORY / "python"))
    if args.child_to_file:
        child_to_file(build_dir)
        return 0

    if not (build_dir / "sim" / "veltrano-sim").is_file() or not (build_dir / "bench" / "raw_stream_bench").is_file():
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "veltrano-sim", "raw_stream_bench"],
                       check=True, stdout=subprocess.DEVNULL)
    if args.c_log and Path(args.c_log).is_file():
        c_rate = c_rate_from(Path(args.c_log).read_text())
    else:
        finished = subprocess.run([str(build_dir / "bench" / "raw_stream_bench")], capture_output=True, text=True,
                                  check=True)
        c_rate = c_rate_from(finished.stdout)

    with tempfile.TemporaryDirectory(prefix="veltrano-pybench-") as work:
        simulator, session = with_simulator(build_dir, work)
        try:
            memory = min(stream_seconds(session) for _ in range(2))
        finally:
            session.close()
            simulator.stop()
    to_file, peak = float("inf"), 0.0
    for _ in range(2):
        child = subprocess.run([sys.executable, __file__, str(build_dir), "--child-to-file"], capture_output=True,
                               text=True, check=True)
        seconds, rss, size = child.stdout.split()
        to_file, peak = min(to_file, float(seconds)), max(peak, float(rss))
        if int(size) != TOTAL + 512:
            raise RuntimeError(f"the .npy file holds {size} bytes, not {TOTAL + 512}")

    mib = TOTAL / (1 << 20)
    python_rate, file_rate = mib / memory, mib / to_file
    ratio = python_rate / c_rate
    print("Python raw stream, 2 GiB in 4 MiB replies from the simulator, best of 2:")
    print(f"  {C_LABEL + ' (C, baseline)':<44} {c_rate:8.1f} MiB/s")
    print(f"  {'session.stream()':<44} {python_rate:8.1f} MiB/s")
    print(f"  {'session.stream() into a .npy file':<44} {file_rate:8.1f} MiB/s")
    print(f"  {'peak resident memory streaming to .npy':<44} {peak:8.1f} MiB")
    source = "simulator stream mode (Python) / bench server (C)"
    print(f"ROW\tpython stream: session.stream()\t{python_rate:.1f} MiB/s\t{c_rate:.1f} MiB/s\t"
          f"C library, memory mode\t{source}\t{ratio:.2f}x\t>= {RATIO_TARGET}x")
    print(f"ROW\tpython stream: into a .npy file\t{file_rate:.1f} MiB/s\t{c_rate:.1f} MiB/s\t"
          f"C library, memory mode\t{source}\t{file_rate / c_rate:.2f}x\t-")
    print(f"ROW\tpython stream: peak RSS streaming 2 GiB to .npy\t{peak:.1f} MiB\t-\t-\tsimulator stream mode\t-\t"
          f"< {RSS_LIMIT_MIB} MiB")
    return 0


if __name__ == "__main__":
    sys.exit(main())
