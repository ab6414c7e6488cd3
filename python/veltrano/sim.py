"""Starts and stops the bundled instrument simulator.

    with Simulator(seed=3) as sim:
        with Session(sim.write_service_ini(folder), folder) as session: ...

The simulator listens on a free port (--port 0) and names it on its first
line; the port is read from there, never guessed.
"""
import os
import shutil
import subprocess
import sys
from pathlib import Path

from . import _lib


def find_simulator(path=None):
    """The veltrano-sim program: path, $VELTRANO_SIM, PATH, this Python's
    prefix, the build tree."""
    explicit = path or os.environ.get("VELTRANO_SIM")
    if explicit:
        if Path(explicit).is_file():
            return str(explicit)
        raise FileNotFoundError(f"no simulator at {explicit} (from {'VELTRANO_SIM' if not path else 'the caller'})")
    candidates = [shutil.which("veltrano-sim"), Path(sys.prefix) / "bin" / "veltrano-sim"]
    candidates += [tree / "build" / "default" / "sim" / "veltrano-sim" for tree in _lib._build_trees()]
    for candidate in candidates:
        if candidate and Path(candidate).is_file():
            return str(candidate)
    raise FileNotFoundError("cannot find veltrano-sim (not on PATH, not installed, not built); "
                            "set VELTRANO_SIM to the program")


class Simulator:
    """One simulator process on 127.0.0.1 and a free port."""

    def __init__(self, seed=1, config=None, program=None, trace=False):
        self.program = find_simulator(program)
        self.arguments = [self.program, "--port", "0", "--seed", str(seed)]
        if config:
            self.arguments += ["--config", str(config)]
        if trace:
            self.arguments.append("--trace")
        self.process = None
        self.port = None

    def start(self):
        self.process = subprocess.Popen(self.arguments, stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True)
        first_line = self.process.stdout.readline().strip()
        if "listening on" not in first_line:
            code = self.process.wait()
            raise RuntimeError(f"the simulator did not start (exit code {code})")
        self.port = int(first_line.rsplit(":", 1)[1])
        return self

    def stop(self):
        """Ends the simulator (SIGTERM, which it answers by closing cleanly)."""
        if self.process is not None and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if self.process is not None:
            self.process.stdout.close()
        self.process = None

    def service_ini_text(self):
        return f"[server]\nserver.ip = 127.0.0.1\nserver.port = {self.port}\n"

    def write_service_ini(self, folder, name="service.ini"):
        """Writes the library's INI file for this simulator; returns its path."""
        path = Path(folder) / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(self.service_ini_text())
        return str(path.resolve())

    def __enter__(self):
        return self.start()

    def __exit__(self, *exception):
        self.stop()
        return False
