"""Loads the shared library and declares every export.

One table gives each export its argument types, result type, return
convention and the service command it sends. ctypes would otherwise assume
int everywhere and cut the 64-bit session handle. Calls of the "status"
convention raise VeltranoError for any result but 0.
"""
import ctypes
import os
import shutil
import struct
import subprocess
import sys
from pathlib import Path

from .errors import VeltranoError
from .records import CHAN_GROUP, DEVICE_INFO, DEVICE_STATUS, DUAL_STOPS_GROUP, NCOINS_STRATEGY

H = ctypes.c_uint64
I = ctypes.c_int  # noqa: E741
D = ctypes.c_double
S = ctypes.c_char_p
B = ctypes.c_char_p  # caller text buffer (ctypes.create_string_buffer)
P = ctypes.c_void_p
U8 = ctypes.c_uint8
I8 = ctypes.c_int8
PI = ctypes.POINTER(ctypes.c_int)
PD = ctypes.POINTER(ctypes.c_double)
PB = ctypes.POINTER(ctypes.c_bool)
PI64 = ctypes.POINTER(ctypes.c_int64)

# Return conventions: "status" raises unless 0; "value" is returned as it is
# (queries whose result is the value itself, or a count); "void" returns None;
# "array" is a library-allocated pointer the caller frees exactly once.
STATUS, VALUE, VOID, ARRAY = "status", "value", "void", "array"

# name: (result type, argument types, convention, service command)
EXPORTS = {
    "ci_create": (H, [S, S], VALUE, "ci_create"),
    "ci_destroy": (None, [H], VOID, None),
    "ci_cleanup": (None, [], VOID, None),
    "ci_info": (None, [H, S], VOID, None),
    "ci_warn": (None, [H, S], VOID, None),
    "ci_error": (None, [H, S], VOID, None),
    "ci_critical": (None, [H, S], VOID, None),
    "ci_get_sw_version": (I, [H, B, I], STATUS, "ci_get_sw_version"),
    "ci_copy_data": (None, [P, P, I], VOID, None),
    "ci_copy_int64_data": (None, [PI64, PI64, I], VOID, None),
    "ci_copy_double_data": (None, [PD, PD, I], VOID, None),
    "ci_free_int64_data": (None, [P], VOID, None),
    "ci_free_char_data": (None, [P], VOID, None),
    "ci_int64_array_to_string": (I, [B, I, PI64, I, I], VALUE, "ci_int64_array_to_string"),
    "ci_int64_pairs_to_string": (I, [B, I, PI64, I], VALUE, "ci_int64_pairs_to_string"),
    "ci_double_pairs_to_string": (I, [B, I, PD, I], VALUE, "ci_double_pairs_to_string"),
    "ci_connect": (I, [H, I], STATUS, "connect"),
    "ci_disconnect": (I, [H], STATUS, "disconnect"),
    "ci_set_dac": (I, [H, I, D], STATUS, "set_dac"),
    "ci_get_dac": (I, [H, I, PD], STATUS, "get_dac"),
    "ci_set_termination": (I, [H, I, I], STATUS, "set_term"),
    "ci_get_termination": (I, [H, I, PI], STATUS, "get_term"),
    "ci_set_hysteresis": (I, [H, I, I], STATUS, "set_hts"),
    "ci_get_hysteresis": (I, [H, I, PI], STATUS, "get_hts"),
    "ci_set_inter_delay": (I, [H, I, I], STATUS, "set_interdelay"),
    "ci_get_inter_delay": (I, [H, I, PI], STATUS, "get_interdelay"),
    "ci_set_dead_time": (I, [H, I, I], STATUS, "set_deadtime"),
    "ci_get_dead_time": (I, [H, I, PI], STATUS, "get_deadtime"),
    "ci_set_edge_type": (I, [H, I, I], STATUS, "set_edgetype"),
    "ci_get_edge_type": (I, [H, I, PI], STATUS, "get_edgetype"),
    "ci_set_ad_integration_point": (I, [H, I, I], STATUS, "set_adp"),
    "ci_get_ad_integration_point": (I, [H, I, PI], STATUS, "get_adp"),
    "ci_enable_channel": (I, [H, I], STATUS, "enable_channel"),
    "ci_disable_channel": (I, [H, I], STATUS, "disable_channel"),
    "ci_is_channel_enabled": (I, [H, I, PB], STATUS, "is_channel_enabled"),
    "ci_enable_all_channels": (I, [H], STATUS, "enable_all_channels"),
    "ci_disable_all_channels": (I, [H], STATUS, "disable_all_channels"),
    "ci_set_tdc_clock_source": (I, [H, I], STATUS, "set_tdcclocksource"),
    "ci_get_tdc_clock_source": (I, [H, PI], STATUS, "get_tdcclocksource"),
    "ci_set_data_mode": (I, [H, I], STATUS, "set_datamode"),
    "ci_get_data_mode": (I, [H, PI], STATUS, "get_datamode"),
    "ci_set_test_mode": (I, [H, I], STATUS, "set_testmode"),
    "ci_get_test_mode": (I, [H, PI], STATUS, "get_testmode"),
    "ci_set_test_data_bandwidth": (I, [H, I], STATUS, "set_databandwidth"),
    "ci_get_test_data_bandwidth": (I, [H, PI], STATUS, "get_databandwidth"),
    "ci_set_board_id": (I, [H, I], STATUS, "set_boardid"),
    "ci_get_board_id": (I, [H], VALUE, "get_boardid"),
    "ci_set_coins_time_window": (I, [H, I], STATUS, "set_coinstimewindow"),
    "ci_get_coins_time_window": (I, [H, PI], STATUS, "get_coinstimewindow"),
    "ci_set_ad_area_scale": (I, [H, I], STATUS, "set_adareascale"),
    "ci_get_ad_area_scale": (I, [H, PI], STATUS, "get_adareascale"),
    "ci_set_acq_type": (I, [H, I], STATUS, "set_acqtype"),
    "ci_get_acq_type": (I, [H, PI], STATUS, "get_acqtype"),
    "ci_set_output_gate_type": (I, [H, I], STATUS, "set_outputgatetype"),
    "ci_get_output_gate_type": (I, [H, PI], STATUS, "get_outputgatetype"),
    "ci_set_gate_delay": (I, [H, I], STATUS, "set_gatedelay"),
    "ci_get_gate_delay": (I, [H, PI], STATUS, "get_gatedelay"),
    "ci_tdc_resetn": (I, [H], STATUS, "tdc_resetn"),
    "ci_system_resetn": (I, [H], STATUS, "system_resetn"),
    "ci_reset_state": (I, [H], STATUS, "reset_state"),
    "ci_self_check": (I, [H], STATUS, "self_check"),
    "ci_get_devices": (I, [H, ctypes.POINTER(DEVICE_INFO), I], VALUE, "get_devices"),
    "ci_get_device_num": (I, [H], VALUE, "get_devices"),
    "ci_get_device": (I, [H, I, PI, B, I], STATUS, "get_devices"),
    "ci_get_device_status": (I, [H, ctypes.POINTER(DEVICE_STATUS)], STATUS, "get_devicestatus"),
    "ci_get_device_temp": (I, [H, PI], STATUS, "get_devicestatus"),
    "ci_get_fan_speed": (I, [H], VALUE, "get_fanspeed"),
    "ci_get_device_model": (I, [H], VALUE, "get_devicemodel"),
    "ci_get_device_type": (I, [H], VALUE, "get_devicetype"),
    "ci_get_channel_num": (I, [H], VALUE, "get_channelnum"),
    "ci_get_fw_version": (I, [H, B, I], STATUS, "get_fwversion"),
    "ci_get_product_sn": (I, [H, B, I], STATUS, "get_productsn"),
    "ci_set_ips": (I, [H, S, S], STATUS, "set_ips"),
    "ci_get_ips": (I, [H, B, I, B, I], STATUS, "get_ips"),
    "ci_set_wips": (I, [H, S, S], STATUS, "set_wips"),
    "ci_get_wips": (I, [H, B, I, B, I], STATUS, "get_wips"),
    "ci_set_net_ports": (I, [H, I, I], STATUS, "set_netports"),
    "ci_get_net_ports": (I, [H, PI, PI], STATUS, "get_netports"),
    "ci_set_wnet_ports": (I, [H, I, I], STATUS, "set_wnetports"),
    "ci_get_wnet_ports": (I, [H, PI, PI], STATUS, "get_wnetports"),
    "ci_set_mac": (I, [H, S], STATUS, "set_mac"),
    "ci_get_mac": (I, [H, B, I], STATUS, "get_mac"),
    "ci_set_wmac": (I, [H, S], STATUS, "set_wmac"),
    "ci_get_wmac": (I, [H, B, I], STATUS, "get_wmac"),
    "ci_get_single_cps": (I, [H, I], VALUE, "get_single_cps"),
    "ci_get_coins_cps": (I, [H, I], VALUE, "get_coins_cps"),
    "ci_output_single_cps": (I, [H, I, S, S], STATUS, "start_single_cps_recording"),
    "ci_output_coins_cps": (I, [H, I, S, S], STATUS, "start_coins_cps_recording"),
    "ci_stop_singlecps_recording": (I, [H], STATUS, "get_singlecps_data"),
    "ci_stop_coinscps_recording": (I, [H], STATUS, "get_coinscps_data"),
    "ci_acq_rawdata": (I, [H, I, I, S, S, I, U8], STATUS, "acq_rawdata"),
    "ci_fetch_rawdata": (P, [H, PI, I], ARRAY, "fetch_rawdata"),
    "ci_stop_acq": (I, [H], STATUS, "stop_acq"),
    "ci_wait_data_ready": (I, [H, I], STATUS, "wait_data_ready"),
    "ci_is_rawdata_processing": (I, [H, PB], STATUS, "is_rawdata_processing"),
    "ci_set_acq_dataformat": (I, [H, I], STATUS, "set_acq_dataformat"),
    "ci_get_acq_dataformat": (I, [H], VALUE, "get_acq_dataformat"),
    "ci_acq_rawdata_local": (I, [H, I, I, S, S, I, U8], STATUS, "acq_rawdata"),
    "ci_convert_to_hex": (I, [H, S, S], STATUS, "convert_to_hex"),
    "ci_convert_to_hex_local": (I, [H, S, S], STATUS, "ci_convert_to_hex_local"),
    "ci_stop_tof_analysis": (I, [H], STATUS, "stop_tof_analysis"),
    "ci_stop_ad_analysis": (I, [H], STATUS, "stop_ad_analysis"),
    "ci_stop_tot_analysis": (I, [H], STATUS, "stop_tot_analysis"),
    "ci_stop_es_analysis": (I, [H], STATUS, "stop_es_analysis"),
    "ci_stop_conform_es_analysis": (I, [H], STATUS, "stop_conform_es_analysis"),
    "ci_stop_period_analysis": (I, [H], STATUS, "stop_period_analysis"),
    "ci_stop_startstop_analysis": (I, [H], STATUS, "stop_startstop_analysis"),
    "ci_stop_ncoins_analysis": (I, [H], STATUS, "stop_ncoins_analysis"),
    "ci_stop_autocorrelation_analysis": (I, [H], STATUS, "stop_autocorrelation_analysis"),
    "ci_fetch_tof_processdata": (PI64, [H, PI], ARRAY, "fetch_processdata"),
    "ci_fetch_tot_processdata": (PI64, [H, PI], ARRAY, "fetch_processdata"),
    "ci_fetch_es_processdata": (PI64, [H, PI], ARRAY, "fetch_processdata"),
    "ci_fetch_conform_es_processdata": (PI64, [H, PI], ARRAY, "fetch_processdata"),
    "ci_fetch_period_processdata": (PI64, [H, PI], ARRAY, "fetch_processdata"),
    "ci_fetch_period_rawdata": (PI64, [H, PI, I], ARRAY, "fetch_analysis_rawdata"),
    "ci_fetch_ad_rawdata": (PI64, [H, PI, I], ARRAY, "fetch_analysis_rawdata"),
    "ci_clear_analysis_data": (I, [H], VALUE, "clear_analysis_data"),
    "ci_is_ncoins_analysis_processing": (I, [H, PB], STATUS, "is_ncoins_analysis_processing"),
    "ci_tof_analysis": (I, [H, I, I, I, I, U8, I, S, S], STATUS, "tof_analysis"),
    "ci_set_cross_correlation_config": (I, [H, I, I, I, I], STATUS, "set_cross_correlation_config"),
    "ci_fetch_cross_correlation_data": (PD, [H, PI], ARRAY, "fetch_cross_correlation_data"),
    "ci_startstop_analysis": (I, [H, I, ctypes.POINTER(CHAN_GROUP), I, ctypes.POINTER(DUAL_STOPS_GROUP), I, I, U8,
                                  S, S], STATUS, "startstop_analysis"),
    "ci_startstop_analysis_json": (I, [H, I, S, S, I, U8, S, S], STATUS, "startstop_analysis"),
    "ci_fetch_startstop_processdata": (PI64, [H, I, I, PI], ARRAY, "fetch_startstop_processdata"),
    "ci_fetch_startstop_average_processdata": (PI64, [H, I, PI], ARRAY, "fetch_startstop_average_processdata"),
    "ci_fetch_startstop_dualstops_rawdata": (PI64, [H, I, PI, I], ARRAY, "fetch_startstop_dualstops_rawdata"),
    "ci_ncoins_analysis": (I, [H, I, ctypes.POINTER(NCOINS_STRATEGY), I, U8, S, S], STATUS, "ncoins_analysis"),
    "ci_ncoins_analysis_json": (I, [H, I, S, U8, S, S], STATUS, "ncoins_analysis"),
    "ci_apply_ncoins_strategies": (I, [H, ctypes.POINTER(NCOINS_STRATEGY), I], STATUS, "apply_ncoins_strategies"),
    "ci_apply_ncoins_strategies_json": (I, [H, S], STATUS, "apply_ncoins_strategies"),
    "ci_get_ncoins_cps": (I, [H, I], VALUE, "get_ncoins_cps"),
    "ci_fetch_ncoins_cps": (PI64, [H, I, PI], ARRAY, "fetch_ncoins_cps"),
    "ci_fetch_ncoins_rawdata": (PI64, [H, I, PI, I], ARRAY, "fetch_ncoins_rawdata"),
    "ci_period_analysis": (I, [H, I, I, I, I, I, D, I, I, S, S], STATUS, "period_analysis"),
    "ci_fetch_period_stability_metric": (PD, [H, I, PI], ARRAY, "fetch_period_stability_metric"),
    "ci_autocorrelation_analysis": (I, [H, I, I, D, D, I, U8, S, S], STATUS, "autocorrelation_analysis"),
    "ci_fetch_autocorrelation_data": (PD, [H, PI], ARRAY, "fetch_autocorrelation_data"),
    "ci_fetch_t2_data": (PI64, [H, PI, I], ARRAY, "fetch_t2_data"),
    "ci_fetch_t3_data": (PI64, [H, PI, I], ARRAY, "fetch_t3_data"),
    "ci_tot_analysis": (I, [H, I, I, I8, S, S], STATUS, "tot_analysis"),
    "ci_fetch_tot_data": (PI64, [H, PI, I], ARRAY, "fetch_tot_data"),
    "ci_es_analysis": (I, [H, I, I, I, I, I8, S, S], STATUS, "es_analysis"),
    "ci_fetch_es_data": (PI64, [H, PI, I], ARRAY, "fetch_es_data"),
    "ci_conform_es_analysis": (I, [H, I, I, I, I, I, I, I, I, I, I, I, S, S], STATUS, "conform_es_analysis"),
    "ci_fetch_conform_es_area1_processdata": (PI64, [H, PI], ARRAY, "fetch_ces_area1_processdata"),
    "ci_fetch_conform_es_area2_processdata": (PI64, [H, PI], ARRAY, "fetch_ces_area2_processdata"),
    "ci_ad_analysis": (I, [H, I, I, I, I, I, S, S], STATUS, "ad_analysis"),
}


def _check_status(command):
    def check(result, function, arguments):
        if result != 0:
            raise VeltranoError(result, command)
        return result
    return check


def library_file_name():
    """The library of this Python's bitness: libveltranoapi64.so or ...32.so."""
    bits = struct.calcsize("P") * 8
    return f"libveltranoapi{bits}.so"


def _installed_lib_dirs():
    """Library folders of the installed prefixes: this Python's (a venv's
    and the one it was made from), /usr/local and /usr, then the folder the
    pkg-config file names (PKG_CONFIG_PATH reaches other prefixes)."""
    prefixes = dict.fromkeys([sys.prefix, sys.base_prefix, "/usr/local", "/usr"])
    for prefix in prefixes:
        for lib_dir in ("lib", "lib64", "lib/x86_64-linux-gnu", "lib/i386-linux-gnu"):
            yield Path(prefix) / lib_dir
    if shutil.which("pkg-config"):
        found = subprocess.run(["pkg-config", "--variable=libdir", library_file_name()[3:-3]],
                               capture_output=True, text=True)
        if found.returncode == 0 and found.stdout.strip():
            yield Path(found.stdout.strip())


def _build_trees():
    """build/default/src of the source checkout holding the package, then of
    the current folder and its parents (an installed package run inside the
    repository)."""
    package = Path(__file__).resolve().parent
    yield package.parent.parent
    cwd = Path.cwd()
    yield cwd
    yield from cwd.parents


def _candidate_paths(explicit):
    name = library_file_name()
    if explicit:
        yield Path(explicit)
        return
    from_environment = os.environ.get("VELTRANO_LIB")
    if from_environment:
        yield Path(from_environment)
        return
    for lib_dir in _installed_lib_dirs():
        candidate = lib_dir / name
        if candidate.exists():
            yield candidate
    # The dynamic loader's own search (LD_LIBRARY_PATH, ld.so.cache).
    yield Path(name + ".1")
    for tree in _build_trees():
        candidate = tree / "build" / "default" / "src" / name
        if candidate.exists():
            yield candidate


def _declare(library):
    for name, (restype, argtypes, convention, command) in EXPORTS.items():
        function = getattr(library, name)
        function.restype = restype
        function.argtypes = argtypes
        if convention == STATUS:
            function.errcheck = _check_status(command)
    return library


def load(path=None):
    """Loads the library from path, $VELTRANO_LIB, the installed location or
    the build tree, in that order, and declares every export."""
    tried = []
    for candidate in _candidate_paths(path):
        is_bare_name = candidate.parent == Path(".") and not str(candidate).startswith(".")
        if not is_bare_name and not candidate.exists():
            tried.append(f"{candidate} (missing)")
            continue
        try:
            return _declare(ctypes.CDLL(str(candidate)))
        except OSError as error:
            tried.append(f"{candidate} ({error})")
    source = "VELTRANO_LIB" if not path and os.environ.get("VELTRANO_LIB") else "the library search"
    raise OSError(f"cannot load the veltranoapi library ({source}); tried: " + "; ".join(tried)
                  + ". Set VELTRANO_LIB to the library file, install it (cmake --install) or build it"
                  " (cmake --preset default && cmake --build --preset default).")


_loaded = {}


def get(path=None):
    """The process-wide loaded library (one per path)."""
    key = str(path) if path else None
    if key not in _loaded:
        _loaded[key] = load(path)
    return _loaded[key]


def command_of(name):
    return EXPORTS[name][3]
