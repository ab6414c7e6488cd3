"""Python access to the veltranoapi time-tagger library.

    from veltrano import Session, run_tof
    with Session("service.ini", "run1") as session:
        result = run_tof(session, duration=2, ch1=1, ch2=2, window_ps=10000)
        print(result.histogram[result.histogram[:, 1].argmax()])
"""
from .errors import VeltranoError
from .library import (cleanup, copy_data, copy_double_data, copy_int64_data, double_pairs_to_string,
                      int64_array_to_string, int64_pairs_to_string, sw_version)
from . import analysis
from .event_files import open_event_file
from .measure import acquire, run_g2, run_spectrum, run_stability, run_tof
from .raw import RAW_FORMATS, RawRecording, decode_raw, read_raw
from .records import ES_DATA, NCOINS_DATA, T2_DATA, T3_DATA, TOT_DATA
from .session import Session
from .stream import RawStream

__all__ = [
    "VeltranoError", "Session", "run_tof", "run_g2", "run_stability", "run_spectrum", "acquire", "decode_raw",
    "RawStream", "RawRecording", "RAW_FORMATS", "read_raw", "open_event_file", "analysis",
    "T2_DATA", "T3_DATA", "NCOINS_DATA", "TOT_DATA", "ES_DATA", "sw_version", "cleanup", "copy_data",
    "copy_int64_data", "copy_double_data", "int64_array_to_string", "int64_pairs_to_string",
    "double_pairs_to_string",
]
