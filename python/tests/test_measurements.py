"""One measurement per analysis family against the simulator: the arrays'
shapes, dtypes and record field values."""
import unittest

import numpy as np

from simulated import ENERGY_SIM_CONFIG, SimulatedSessionTest
from veltrano import ES_DATA, NCOINS_DATA, T2_DATA, T3_DATA, TOT_DATA, measure

# The default instrument's pair source: channel 2 fires 1500 ps after channel 1.
PAIR_DELAY_PS = 1500
CLOCK_PERIOD_PS = 10_000_000


def assert_pairs(test, points, dtype):
    test.assertEqual(points.ndim, 2)
    test.assertEqual(points.shape[1], 2)
    test.assertGreater(len(points), 0)
    test.assertEqual(points.dtype, dtype)


class TimingMeasurements(SimulatedSessionTest):
    def test_TimeOfFlightPeaksAtThePairDelayWithT3Records(self):
        result = measure.run_tof(self.session, 1, 1, 2, window_ps=10000, t3=True, progress=False)
        assert_pairs(self, result.histogram, np.int64)
        assert_pairs(self, result.g2, np.float64)
        peak = result.histogram[np.argmax(result.histogram[:, 1]), 0]
        self.assertLess(abs(peak - PAIR_DELAY_PS), 300)
        self.assertEqual(result.t3.dtype, T3_DATA)
        self.assertGreater(len(result.t3), 0)
        self.assertTrue((result.t3["second"] == 1).all())
        self.assertTrue((result.t3["fourth"] == 2).all())
        self.assertTrue((np.abs(result.t3["third"]) <= 10000).all())

    def test_AutocorrelationGivesG2AndT2RecordsOfItsChannel(self):
        result = measure.run_g2(self.session, 1, 2, t2=True, progress=False)
        assert_pairs(self, result.g2, np.float64)
        self.assertEqual(len(result.g2), 200)
        self.assertEqual(result.t2.dtype, T2_DATA)
        self.assertTrue((result.t2["first"] == 2).all())
        self.assertTrue((np.diff(result.t2["second"]) > 0).all())

    def test_StabilityGivesFourDeviationCurvesAndPeriods(self):
        result = measure.run_stability(self.session, 1, 1e5, decades=3, decade_points=4, progress=False)
        assert_pairs(self, result.histogram, np.int64)
        for name in measure.STABILITY_METRICS:
            assert_pairs(self, getattr(result, name), np.float64)
        self.assertTrue((np.diff(result.adev[:, 0]) > 0).all())
        assert_pairs(self, result.periods, np.int64)
        self.assertLess(abs(np.median(result.periods[:, 1]) - CLOCK_PERIOD_PS), 1000)

    def test_StartStopHistogramsPerPairAndAverage(self):
        result = measure.run_startstop(self.session, 1, {1: [2, 3]}, window_ps=100000, progress=False)
        self.assertEqual(set(result.histograms), {(1, 2), (1, 3)})
        assert_pairs(self, result.histograms[(1, 2)], np.int64)
        self.assertEqual(set(result.averages), {1})

    def test_CoincidenceRecordsCarryStrategyAndFold(self):
        result = measure.run_ncoins(self.session, 1, [("pairs", [1, 2], 4)], records=True, progress=False)
        self.assertEqual(result.counts.shape, (1, 2))
        self.assertGreater(result.counts[0, 1], 0)
        assert_pairs(self, result.rates[0], np.int64)
        records = result.records[0]
        self.assertEqual(records.dtype, NCOINS_DATA)
        self.assertGreater(len(records), 0)
        self.assertTrue((records["second"] == 0).all())
        self.assertTrue((records["fourth"] == 2).all())
        np.testing.assert_array_equal(records["fifth"], np.arange(len(records)))

    def test_RawAcquisitionDecodesTimeOrderedEvents(self):
        result = measure.acquire(self.session, 1, data_format=0, progress=False)
        self.assertEqual(result.raw.dtype, np.uint8)
        self.assertEqual(len(result.raw) % 16, 0)
        events = result.events
        self.assertGreater(len(events), 0)
        self.assertTrue((np.diff(events["time_ps"]) >= 0).all())
        self.assertTrue(((events["channel"] >= 1) & (events["channel"] <= 16)).all())
        np.testing.assert_array_equal(events["sequence"], np.arange(len(events), dtype=np.uint32))


class PulseMeasurements(SimulatedSessionTest):
    def test_TimeOverThresholdRecordsCountPulses(self):
        result = measure.run_tot(self.session, 1, 1, records=True, progress=False)
        assert_pairs(self, result.histogram, np.int64)
        self.assertEqual(result.records.dtype, TOT_DATA)
        self.assertTrue((result.records["first"] > 0).all())
        np.testing.assert_array_equal(result.records["second"], np.arange(len(result.records)))

    def test_EnergySpectrumShowsThePhotopeakAndRecords(self):
        result = measure.run_spectrum(self.session, 1, 1, ad_integration_point=1024, area_scale=16, records=True,
                                      progress=False)
        assert_pairs(self, result.spectrum, np.int64)
        self.assertEqual(result.records.dtype, ES_DATA)
        values = result.records["first"]
        self.assertTrue(((values >= 0) & (values < 800)).all())
        self.assertTrue(((values > 600) & (values < 720)).any())  # the 662 keV photopeak

    def test_AdcSamplesComeFromAnOddChannel(self):
        samples = measure.run_adc(self.session, 1, 1, progress=False)
        assert_pairs(self, samples, np.int64)
        self.assertGreater(samples[:, 1].max(), 0)


class GatedEnergy(SimulatedSessionTest):
    sim_config = ENERGY_SIM_CONFIG

    def test_GatedSpectraHoldTheSameCountsAsTheTimeDifferences(self):
        result = measure.run_gated_spectrum(self.session, 1, 1, 3, (600, 720), (0, 1000), window_ps=5000,
                                            ad_integration_point=1024, area_scale=16, progress=False)
        for points in result:
            assert_pairs(self, points, np.int64)
        self.assertEqual(result.tdiff[:, 1].sum(), result.area1[:, 1].sum())
        self.assertTrue(((result.area1[:, 0] >= 592) & (result.area1[:, 0] <= 720)).all())


if __name__ == "__main__":
    unittest.main()
