"""Shared set-up: a simulator on a free port and a session on it, in a
temporary folder that is removed afterwards."""
import os
import tempfile
import unittest
from pathlib import Path

import veltrano
from veltrano import Session
from veltrano.sim import Simulator

REPOSITORY = Path(__file__).resolve().parent.parent.parent
ENERGY_SIM_CONFIG = REPOSITORY / "examples" / "sim-energy.ini"


class SimulatedSessionTest(unittest.TestCase):
    """One simulator and one connected session per test class."""

    sim_config = None

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory(prefix="veltrano-py-")
        cls.out = cls.folder.name
        cls.simulator = Simulator(seed=5, config=cls.sim_config).start()
        cls.config = cls.simulator.write_service_ini(cls.out)
        cls.session = Session(cls.config, cls.out)
        cls.session.connect(1)

    @classmethod
    def tearDownClass(cls):
        cls.session.close()
        cls.simulator.stop()
        cls.folder.cleanup()

    def data_rows(self, name):
        """The data lines of a CSV file the library wrote into the folder."""
        lines = Path(self.out, name).read_text().splitlines()
        return lines[1:]


def environment_for_subprocess():
    """The environment of a child Python that imports the same veltrano as
    this process (the source tree's or the installed one)."""
    environment = dict(os.environ)
    package_parent = str(Path(veltrano.__file__).resolve().parent.parent)
    environment["PYTHONPATH"] = os.pathsep.join([package_parent, environment.get("PYTHONPATH", "")])
    return environment


def expects_installed_package():
    """True in the test command's venv run, which must import the installed
    package and find its console command."""
    return os.environ.get("VELTRANO_EXPECT_INSTALLED") == "1"
