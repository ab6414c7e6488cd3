import ctypes
import unittest

import numpy as np

from veltrano.arrays import take_pairs, take_rows
from veltrano.records import ES_DATA, NCOINS_DATA, T2_DATA, T3_DATA, TOT_DATA, to_records


class FakeLibrary:
    """Hands out one C array per fetch, reporting count items, and records
    every free."""

    def __init__(self, values, count):
        self.array = (ctypes.c_int64 * len(values))(*values)
        self.count = count
        self.freed = []

    def fetch(self, handle, count_pointer, *timeout):
        if self.count == 0:
            return None
        count_pointer._obj.value = self.count
        return ctypes.cast(self.array, ctypes.POINTER(ctypes.c_int64))

    def ci_free_int64_data(self, pointer):
        self.freed.append(ctypes.addressof(pointer.contents))


class LibraryArrays(unittest.TestCase):
    def test_PairsAreCopiedThenFreedExactlyOnce(self):
        library = FakeLibrary([10, 1, 20, 2, 30, 3], count=3)
        pairs = take_pairs(library, library.fetch, 7)
        np.testing.assert_array_equal(pairs, [[10, 1], [20, 2], [30, 3]])
        self.assertEqual(pairs.dtype, np.int64)
        self.assertEqual(library.freed, [ctypes.addressof(library.array)])
        library.array[0] = 99  # the result is a copy, not a view of freed memory
        self.assertEqual(pairs[0, 0], 10)

    def test_NullResultGivesEmptyPairsWithoutFree(self):
        library = FakeLibrary([], count=0)
        pairs = take_pairs(library, library.fetch, 7)
        self.assertEqual(pairs.shape, (0, 2))
        self.assertEqual(library.freed, [])

    def test_RowsOfRecordFetchesKeepTheirWidth(self):
        library = FakeLibrary([1, 2, 3, 4, 5, 6, 7, 8], count=2)
        rows = take_rows(library, library.fetch, 7, timeout_ms=5, per_record=4)
        np.testing.assert_array_equal(rows, [1, 2, 3, 4, 5, 6, 7, 8])
        self.assertEqual(len(library.freed), 1)


class RecordLayouts(unittest.TestCase):
    def test_DtypesHaveTheSizesOfTheCStructures(self):
        self.assertEqual(T2_DATA.itemsize, 16)
        self.assertEqual(T2_DATA.fields["second"][1], 8)
        self.assertEqual(T3_DATA.itemsize, 16)
        self.assertEqual(TOT_DATA.itemsize, 8)
        self.assertEqual(ES_DATA.itemsize, 8)
        self.assertEqual(NCOINS_DATA.itemsize, 40)
        self.assertEqual((NCOINS_DATA.fields["third"][1], NCOINS_DATA.fields["fifth"][1]), (16, 32))

    def test_RowsBecomeRecordsWithTheFieldTypes(self):
        t3 = to_records([4294967295, 1, -1500, 2], T3_DATA)
        self.assertEqual(t3["first"][0], 4294967295)
        self.assertEqual((t3["second"][0], t3["third"][0], t3["fourth"][0]), (1, -1500, 2))
        t2 = to_records([-3, 1 << 40, 5, 6], T2_DATA)
        np.testing.assert_array_equal(t2["first"], [-3, 5])
        np.testing.assert_array_equal(t2["second"], [1 << 40, 6])
        np.testing.assert_array_equal(t2["reserved"], [0, 0])
        coincidences = to_records(range(10), NCOINS_DATA)
        np.testing.assert_array_equal(coincidences["fifth"], [4, 9])


if __name__ == "__main__":
    unittest.main()
