import os
import re
import tempfile
import unittest
from pathlib import Path

import numpy as np

from simulated import REPOSITORY, SimulatedSessionTest
import veltrano
from veltrano import Session, VeltranoError, _lib
from veltrano.sim import Simulator


class Exports(unittest.TestCase):
    def test_EveryHeaderExportIsDeclared(self):
        header = (REPOSITORY / "include" / "veltranoapi" / "veltranoapi.h").read_text()
        names = set(re.findall(r"CI_API [^;]*?\b(ci_\w+)\(", header))
        self.assertEqual(len(names), 147)
        self.assertEqual(names, set(_lib.EXPORTS))

    def test_EveryExportIsReachableFromPython(self):
        reachable = set(dir(Session)) | set(veltrano.__all__)
        internal = {"ci_create", "ci_destroy", "ci_free_int64_data", "ci_free_char_data"}
        missing = [name for name in _lib.EXPORTS if name not in internal and name[3:] not in reachable]
        self.assertEqual(missing, [])

    def test_MissingLibraryFileNamesWhatWasTried(self):
        with self.assertRaisesRegex(OSError, "no-such-lib.so"):
            _lib.load("/nonexistent/no-such-lib.so")


class TextAndCopyHelpers(unittest.TestCase):
    def test_VersionIsTheLibrarys(self):
        self.assertEqual(veltrano.sw_version(), "V1.4.0")

    def test_PairsAndRowsFormatAsLines(self):
        self.assertEqual(veltrano.int64_pairs_to_string(np.array([[1, -2], [3, 4]])), "1,-2\n3,4\n")
        self.assertEqual(veltrano.double_pairs_to_string([[0.5, 2.0]]), "0.5,2\n")
        self.assertEqual(veltrano.int64_array_to_string([[1, 2, 3], [4, 5, 6]]), "1,2,3\n4,5,6\n")
        self.assertEqual(veltrano.int64_pairs_to_string(np.empty((0, 2))), "")

    def test_CopiesFillTheDestinationAndRefuseSmallerOnes(self):
        destination = np.zeros(3, dtype=np.int64)
        veltrano.copy_int64_data(destination, [7, 8, 9])
        np.testing.assert_array_equal(destination, [7, 8, 9])
        doubles = np.zeros(2)
        veltrano.copy_double_data(doubles, [0.25, -1.5])
        np.testing.assert_array_equal(doubles, [0.25, -1.5])
        raw = np.zeros(4, dtype=np.uint8)
        veltrano.copy_data(raw, np.frombuffer(b"abcd", dtype=np.uint8))
        self.assertEqual(raw.tobytes(), b"abcd")
        with self.assertRaises(ValueError):
            veltrano.copy_int64_data(np.zeros(1, dtype=np.int64), [1, 2])


class SessionLifeCycle(unittest.TestCase):
    def test_ContextManagerDestroysTheSessionOnExit(self):
        with tempfile.TemporaryDirectory() as folder, Simulator(seed=2) as simulator:
            with Session(simulator.write_service_ini(folder), folder) as session:
                handle = session.handle
                self.assertGreater(handle, 0)
                self.assertGreater(session.get_device_num(), 0)
            self.assertEqual(session.handle, 0)
            with self.assertRaises(VeltranoError) as raised:
                session.get_devices()
            self.assertEqual(raised.exception.code, -1)

    def test_UnreachableServiceRaisesOnCreate(self):
        with tempfile.TemporaryDirectory() as folder:
            config = Path(folder, "service.ini")
            config.write_text("[server]\nserver.ip = 127.0.0.1\nserver.port = 1\n")
            with self.assertRaises(VeltranoError) as raised:
                Session(str(config), folder)
            self.assertEqual((raised.exception.code, raised.exception.command), (-1, "ci_create"))

    def test_RelativeConfigPathMeansTheCurrentFolder(self):
        with tempfile.TemporaryDirectory() as folder, Simulator(seed=2) as simulator:
            simulator.write_service_ini(folder, "here.ini")
            previous = os.getcwd()
            os.chdir(folder)
            try:
                with Session("here.ini", os.path.join(folder, "elsewhere")) as session:
                    self.assertGreater(session.handle, 0)
            finally:
                os.chdir(previous)


class DeviceControl(SimulatedSessionTest):
    def test_ChannelSettingsRoundTrip(self):
        session = self.session
        session.set_dac(3, 0.25)
        self.assertAlmostEqual(session.get_dac(3), 0.25)
        session.set_dead_time(3, 5000)
        self.assertEqual(session.get_dead_time(3), 5000)
        session.disable_channel(3)
        self.assertFalse(session.is_channel_enabled(3))
        session.enable_channel(3)
        self.assertTrue(session.is_channel_enabled(3))
        session.set_coins_time_window(2500)
        self.assertEqual(session.get_coins_time_window(), 2500)
        session.set_board_id(7)
        self.assertEqual(session.get_board_id(), 7)

    def test_RefusedValueRaisesWithCodeAndCommand(self):
        with self.assertRaises(VeltranoError) as raised:
            self.session.set_dac(99, 0.1)
        self.assertEqual((raised.exception.code, raised.exception.command), (4, "set_dac"))
        with self.assertRaises(VeltranoError) as raised:
            self.session.set_ips("not an address", "10.0.0.1")
        self.assertEqual((raised.exception.code, raised.exception.command), (7, "set_ips"))
        with self.assertRaises(VeltranoError) as raised:
            self.session.tof_analysis(0, 1, 2, 1000)
        self.assertEqual((raised.exception.code, raised.exception.command), (-1, "tof_analysis"))

    def test_IdentityAndStatusArePlainValues(self):
        session = self.session
        devices = session.get_devices()
        self.assertEqual(len(devices), session.get_device_num())
        self.assertEqual(session.get_device(0), devices[0])
        self.assertIsInstance(devices[0][1], str)
        status = session.get_device_status()
        self.assertEqual(set(status), {"temperature"} | {f"current{i}" for i in range(1, 9)})
        self.assertEqual(session.get_device_temp(), status["temperature"])
        self.assertEqual(session.get_channel_num(), 16)
        self.assertTrue(session.get_fw_version())
        self.assertTrue(session.get_product_sn())

    def test_NetworkSettingsRoundTrip(self):
        session = self.session
        session.set_wips("10.1.2.3", "10.1.2.4")
        self.assertEqual(session.get_wips(), ("10.1.2.3", "10.1.2.4"))
        session.set_net_ports(9000, 9001)
        self.assertEqual(session.get_net_ports(), (9000, 9001))
        session.set_mac("02:00:00:00:00:0a")
        self.assertEqual(session.get_mac(), "02:00:00:00:00:0a")


if __name__ == "__main__":
    unittest.main()
