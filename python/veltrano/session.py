"""A session with the instrument service: every export as a method.

Method names are the exported names without "ci_". Calls that return a
status raise VeltranoError unless it is 0; getters return their value;
fetches return numpy arrays (point lists as (N, 2) arrays, records as
structured arrays of the record dtypes).
"""
import ctypes
import json
import os

import numpy as np

from . import _lib
from .arrays import take_bytes, take_pairs, take_rows
from .errors import VeltranoError
from .stream import FETCH_TIMEOUT_MS, RawStream
from .records import (CHAN_GROUP, DEVICE_INFO, DEVICE_STATUS, DUAL_STOPS_GROUP, ES_DATA, NCOINS_DATA,
                      NCOINS_STRATEGY, T2_DATA, T3_DATA, TOT_DATA, delivered_fields, to_records)

TEXT_CAPACITY = 256


def _text(value):
    """Python text (or None, or a path) as UTF-8 bytes for a const char*."""
    if value is None:
        return None
    return os.fsencode(value) if isinstance(value, os.PathLike) else str(value).encode("utf-8")


def _decoded(buffer):
    return buffer.value.decode("utf-8", errors="replace")


def _channel_setting(name, value_type):
    setter, getter = f"ci_set_{name}", f"ci_get_{name}"

    def set_value(self, channel, value):
        getattr(self._library, setter)(self.handle, channel, value_type(value).value)

    def get_value(self, channel):
        value = value_type()
        getattr(self._library, getter)(self.handle, channel, ctypes.byref(value))
        return value.value

    set_value.__name__, get_value.__name__ = setter[3:], getter[3:]
    set_value.__doc__ = f"Sets the channel's {name.replace('_', ' ')} (\"{_lib.command_of(setter)}\")."
    get_value.__doc__ = f"The channel's {name.replace('_', ' ')} (\"{_lib.command_of(getter)}\")."
    return set_value, get_value


def _board_setting(name):
    setter, getter = f"ci_set_{name}", f"ci_get_{name}"

    def set_value(self, value):
        getattr(self._library, setter)(self.handle, int(value))

    def get_value(self):
        value = ctypes.c_int()
        getattr(self._library, getter)(self.handle, ctypes.byref(value))
        return value.value

    set_value.__name__, get_value.__name__ = setter[3:], getter[3:]
    set_value.__doc__ = f"Sets the board's {name.replace('_', ' ')} (\"{_lib.command_of(setter)}\")."
    get_value.__doc__ = f"The board's {name.replace('_', ' ')} (\"{_lib.command_of(getter)}\")."
    return set_value, get_value


def _plain_call(export, *argument_names):
    """A method that forwards its arguments and raises on a non-zero status."""
    def call(self, *arguments):
        getattr(self._library, export)(self.handle, *arguments)

    call.__name__ = export[3:]
    call.__doc__ = f"Sends \"{_lib.command_of(export)}\"" + (
        f" with {', '.join(argument_names)}" if argument_names else "") + "; raises VeltranoError unless 0."
    return call


def _returned_value(export):
    """A query whose result is the value itself (-1: none, or a failure)."""
    def query(self, *arguments):
        return getattr(self._library, export)(self.handle, *arguments)

    query.__name__ = export[3:]
    query.__doc__ = f"Sends \"{_lib.command_of(export)}\" and returns the value (-1 when there is none)."
    return query


def _point_list(export, dtype=np.int64):
    def fetch(self, *arguments):
        return take_pairs(self._library, getattr(self._library, export), self.handle, *arguments, dtype=dtype)

    fetch.__name__ = export[3:]
    fetch.__doc__ = f"Sends \"{_lib.command_of(export)}\"; the points as an (N, 2) {np.dtype(dtype).name} array."
    return fetch


def _record_fetch(export, dtype):
    def fetch(self, timeout_ms=1000):
        rows = take_rows(self._library, getattr(self._library, export), self.handle, timeout_ms=timeout_ms,
                         per_record=len(delivered_fields(dtype)))
        return to_records(rows, dtype)

    fetch.__name__ = export[3:]
    fetch.__doc__ = (f"Sends \"{_lib.command_of(export)}\" until records arrive or timeout_ms passes; "
                     f"the records as a structured array of dtype {export[9:].upper()}_DATA (empty when none).")
    return fetch


class Session:
    """One session: Session(config_path, base_dir) opens it, close() (or the
    end of a with block) destroys it."""

    def __init__(self, config_path, base_dir=None, library=None):
        self._library = _lib.get(library)
        # A relative INI path would be resolved against base_dir by the library;
        # here it means what it means to the caller: relative to the current folder.
        config = os.path.abspath(config_path) if config_path is not None else None
        base = os.path.abspath(base_dir) if base_dir is not None else None
        self.handle = self._library.ci_create(_text(config), _text(base))
        if self.handle == 0:
            raise VeltranoError(-1, "ci_create", f"cannot open a session with {config} "
                                "(unreadable file or no service at its address)")
        self.config_path, self.base_dir = config, base

    # -- life cycle ------------------------------------------------------
    def close(self):
        """Destroys the session (harmless when done already)."""
        if self.handle:
            self._library.ci_destroy(self.handle)
            self.handle = 0

    def destroy(self):
        self.close()

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()
        return False

    # -- logging and version ---------------------------------------------
    def info(self, text):
        self._library.ci_info(self.handle, _text(text))

    def warn(self, text):
        self._library.ci_warn(self.handle, _text(text))

    def error(self, text):
        self._library.ci_error(self.handle, _text(text))

    def critical(self, text):
        self._library.ci_critical(self.handle, _text(text))

    def get_sw_version(self):
        buffer = ctypes.create_string_buffer(TEXT_CAPACITY)
        self._library.ci_get_sw_version(self.handle, buffer, len(buffer))
        return _decoded(buffer)

    # -- service link and channels ---------------------------------------
    connect = _plain_call("ci_connect", "device_type")
    disconnect = _plain_call("ci_disconnect")
    set_dac, get_dac = _channel_setting("dac", ctypes.c_double)
    set_termination, get_termination = _channel_setting("termination", ctypes.c_int)
    set_hysteresis, get_hysteresis = _channel_setting("hysteresis", ctypes.c_int)
    set_inter_delay, get_inter_delay = _channel_setting("inter_delay", ctypes.c_int)
    set_dead_time, get_dead_time = _channel_setting("dead_time", ctypes.c_int)
    set_edge_type, get_edge_type = _channel_setting("edge_type", ctypes.c_int)
    set_ad_integration_point, get_ad_integration_point = _channel_setting("ad_integration_point", ctypes.c_int)
    enable_channel = _plain_call("ci_enable_channel", "channel")
    disable_channel = _plain_call("ci_disable_channel", "channel")
    enable_all_channels = _plain_call("ci_enable_all_channels")
    disable_all_channels = _plain_call("ci_disable_all_channels")

    def is_channel_enabled(self, channel):
        enabled = ctypes.c_bool()
        self._library.ci_is_channel_enabled(self.handle, channel, ctypes.byref(enabled))
        return enabled.value

    # -- board -------------------------------------------------------------
    set_tdc_clock_source, get_tdc_clock_source = _board_setting("tdc_clock_source")
    set_data_mode, get_data_mode = _board_setting("data_mode")
    set_test_mode, get_test_mode = _board_setting("test_mode")
    set_test_data_bandwidth, get_test_data_bandwidth = _board_setting("test_data_bandwidth")
    set_coins_time_window, get_coins_time_window = _board_setting("coins_time_window")
    set_ad_area_scale, get_ad_area_scale = _board_setting("ad_area_scale")
    set_acq_type, get_acq_type = _board_setting("acq_type")
    set_output_gate_type, get_output_gate_type = _board_setting("output_gate_type")
    set_gate_delay, get_gate_delay = _board_setting("gate_delay")
    set_board_id = _plain_call("ci_set_board_id", "value")
    get_board_id = _returned_value("ci_get_board_id")
    tdc_resetn = _plain_call("ci_tdc_resetn")
    system_resetn = _plain_call("ci_system_resetn")
    reset_state = _plain_call("ci_reset_state")
    self_check = _plain_call("ci_self_check")

    # -- devices, status, identity ---------------------------------------
    def get_devices(self):
        """The service's device list as [(device_type, device_name), ...]."""
        total = self._library.ci_get_devices(self.handle, None, 0)
        if total < 0:
            raise VeltranoError(total, "get_devices")
        if total == 0:
            return []
        entries = (DEVICE_INFO * total)()
        total = self._library.ci_get_devices(self.handle, entries, total)
        if total < 0:
            raise VeltranoError(total, "get_devices")
        return [(entry.device_type, entry.device_name.decode("utf-8", errors="replace"))
                for entry in entries[:min(total, len(entries))]]

    def get_device_num(self):
        total = self._library.ci_get_device_num(self.handle)
        if total < 0:
            raise VeltranoError(total, "get_devices")
        return total

    def get_device(self, index):
        """The entry at index as (device_type, device_name)."""
        device_type = ctypes.c_int()
        name = ctypes.create_string_buffer(TEXT_CAPACITY)
        self._library.ci_get_device(self.handle, index, ctypes.byref(device_type), name, len(name))
        return device_type.value, _decoded(name)

    def get_device_status(self):
        """Temperature and currents as a dict."""
        status = DEVICE_STATUS()
        self._library.ci_get_device_status(self.handle, ctypes.byref(status))
        return {name: getattr(status, name) for name, _ in DEVICE_STATUS._fields_}

    def get_device_temp(self):
        temperature = ctypes.c_int()
        self._library.ci_get_device_temp(self.handle, ctypes.byref(temperature))
        return temperature.value

    get_fan_speed = _returned_value("ci_get_fan_speed")
    get_device_model = _returned_value("ci_get_device_model")
    get_device_type = _returned_value("ci_get_device_type")
    get_channel_num = _returned_value("ci_get_channel_num")

    def get_fw_version(self):
        buffer = ctypes.create_string_buffer(TEXT_CAPACITY)
        self._library.ci_get_fw_version(self.handle, buffer, len(buffer))
        return _decoded(buffer)

    def get_product_sn(self):
        buffer = ctypes.create_string_buffer(TEXT_CAPACITY)
        self._library.ci_get_product_sn(self.handle, buffer, len(buffer))
        return _decoded(buffer)

    # -- network settings ----------------------------------------------------
    def _get_text_pair(self, export):
        local, device = ctypes.create_string_buffer(64), ctypes.create_string_buffer(64)
        getattr(self._library, export)(self.handle, local, len(local), device, len(device))
        return _decoded(local), _decoded(device)

    def _get_int_pair(self, export):
        local, device = ctypes.c_int(), ctypes.c_int()
        getattr(self._library, export)(self.handle, ctypes.byref(local), ctypes.byref(device))
        return local.value, device.value

    def _get_mac_text(self, export):
        mac = ctypes.create_string_buffer(64)
        getattr(self._library, export)(self.handle, mac, len(mac))
        return _decoded(mac)

    def set_ips(self, local_ip, device_ip):
        self._library.ci_set_ips(self.handle, _text(local_ip), _text(device_ip))

    def set_wips(self, local_ip, device_ip):
        self._library.ci_set_wips(self.handle, _text(local_ip), _text(device_ip))

    def get_ips(self):
        """(local_ip, device_ip)."""
        return self._get_text_pair("ci_get_ips")

    def get_wips(self):
        return self._get_text_pair("ci_get_wips")

    set_net_ports = _plain_call("ci_set_net_ports", "local_port", "device_port")
    set_wnet_ports = _plain_call("ci_set_wnet_ports", "local_port", "device_port")

    def get_net_ports(self):
        """(local_port, device_port)."""
        return self._get_int_pair("ci_get_net_ports")

    def get_wnet_ports(self):
        return self._get_int_pair("ci_get_wnet_ports")

    def set_mac(self, device_mac):
        self._library.ci_set_mac(self.handle, _text(device_mac))

    def set_wmac(self, device_mac):
        self._library.ci_set_wmac(self.handle, _text(device_mac))

    def get_mac(self):
        return self._get_mac_text("ci_get_mac")

    def get_wmac(self):
        return self._get_mac_text("ci_get_wmac")

    # -- count rates -----------------------------------------------------------
    get_single_cps = _returned_value("ci_get_single_cps")
    get_coins_cps = _returned_value("ci_get_coins_cps")

    def output_single_cps(self, duration, folder=None, file_name=None):
        """Starts a recording of the single rates for duration s into a CSV file."""
        self._library.ci_output_single_cps(self.handle, duration, _text(folder), _text(file_name))

    def output_coins_cps(self, duration, folder=None, file_name=None):
        self._library.ci_output_coins_cps(self.handle, duration, _text(folder), _text(file_name))

    stop_singlecps_recording = _plain_call("ci_stop_singlecps_recording")
    stop_coinscps_recording = _plain_call("ci_stop_coinscps_recording")

    # -- raw acquisition -------------------------------------------------------
    def acq_rawdata(self, duration, data_mode=0, folder_path=None, file_name=None, max_volume_size=0,
                    force_close=False):
        self._library.ci_acq_rawdata(self.handle, data_mode, duration, _text(folder_path), _text(file_name),
                                     max_volume_size, 1 if force_close else 0)

    def acq_rawdata_local(self, duration, data_mode=0, folder_path=None, file_name=None, max_volume_size=0,
                          force_close=False):
        self._library.ci_acq_rawdata_local(self.handle, data_mode, duration, _text(folder_path), _text(file_name),
                                           max_volume_size, 1 if force_close else 0)

    def fetch_rawdata(self, timeout_ms=100):
        """The raw bytes collected so far as a uint8 array, or None when there
        are none (nothing came in time, or the acquisition is over)."""
        return take_bytes(self._library, self._library.ci_fetch_rawdata, self.handle, timeout_ms=timeout_ms)

    def stream(self, duration, data_format=0, data_mode=0, fetch_timeout_ms=FETCH_TIMEOUT_MS, decode=True):
        """Starts a raw acquisition of duration s and returns a RawStream:
        iterate it for one structured array of events per chunk as it
        arrives (raw uint8 chunks with decode=False); closing it, or leaving
        a with block or for loop by an exception, stops the acquisition."""
        return RawStream(self, duration, data_format, data_mode, fetch_timeout_ms, decode)

    stop_acq = _plain_call("ci_stop_acq")
    wait_data_ready = _plain_call("ci_wait_data_ready", "timeout_ms")
    set_acq_dataformat = _plain_call("ci_set_acq_dataformat", "data_format")
    get_acq_dataformat = _returned_value("ci_get_acq_dataformat")

    def is_rawdata_processing(self):
        processing = ctypes.c_bool()
        self._library.ci_is_rawdata_processing(self.handle, ctypes.byref(processing))
        return processing.value

    def convert_to_hex(self, bin_file, hex_file=None):
        """Asks the service to convert one of its own files to hex text."""
        self._library.ci_convert_to_hex(self.handle, _text(bin_file), _text(hex_file))

    def convert_to_hex_local(self, bin_file, hex_file=None):
        """Converts a file on this machine to hex text."""
        self._library.ci_convert_to_hex_local(self.handle, _text(bin_file), _text(hex_file))

    # -- analyses: common --------------------------------------------------------
    stop_tof_analysis = _plain_call("ci_stop_tof_analysis")
    stop_ad_analysis = _plain_call("ci_stop_ad_analysis")
    stop_tot_analysis = _plain_call("ci_stop_tot_analysis")
    stop_es_analysis = _plain_call("ci_stop_es_analysis")
    stop_conform_es_analysis = _plain_call("ci_stop_conform_es_analysis")
    stop_period_analysis = _plain_call("ci_stop_period_analysis")
    stop_startstop_analysis = _plain_call("ci_stop_startstop_analysis")
    stop_ncoins_analysis = _plain_call("ci_stop_ncoins_analysis")
    stop_autocorrelation_analysis = _plain_call("ci_stop_autocorrelation_analysis")
    fetch_tof_processdata = _point_list("ci_fetch_tof_processdata")
    fetch_tot_processdata = _point_list("ci_fetch_tot_processdata")
    fetch_es_processdata = _point_list("ci_fetch_es_processdata")
    fetch_conform_es_processdata = _point_list("ci_fetch_conform_es_processdata")
    fetch_period_processdata = _point_list("ci_fetch_period_processdata")
    clear_analysis_data = _returned_value("ci_clear_analysis_data")

    def fetch_period_rawdata(self, timeout_ms=100):
        """Buffered (cycle index, period ps) points of a period run, (N, 2) int64."""
        return take_pairs(self._library, self._library.ci_fetch_period_rawdata, self.handle, timeout_ms=timeout_ms)

    def fetch_ad_rawdata(self, timeout_ms=100):
        """Buffered (sampling point, adc) samples of an A/D run, (N, 2) int64."""
        return take_pairs(self._library, self._library.ci_fetch_ad_rawdata, self.handle, timeout_ms=timeout_ms)

    def is_ncoins_analysis_processing(self):
        processing = ctypes.c_bool()
        self._library.ci_is_ncoins_analysis_processing(self.handle, ctypes.byref(processing))
        return processing.value

    # -- time of flight ------------------------------------------------------------
    def tof_analysis(self, duration, ch1, ch2, coins_time_window, enable_t3_data=False, avg_times=1,
                     folder_path=None, file_name=None):
        self._library.ci_tof_analysis(self.handle, duration, ch1, ch2, coins_time_window,
                                      1 if enable_t3_data else 0, avg_times, _text(folder_path), _text(file_name))

    set_cross_correlation_config = _plain_call("ci_set_cross_correlation_config", "virtual_twin", "bin_width",
                                               "dcr1", "dcr2")
    fetch_cross_correlation_data = _point_list("ci_fetch_cross_correlation_data", np.float64)

    # -- start-stop ------------------------------------------------------------------
    def startstop_analysis(self, duration, groups, coins_time_window, dual_groups=None, enable_t3_data=False,
                           folder_path=None, file_name=None):
        """groups: {start channel: [stop channels]}; dual_groups: {start
        channel: (x stop, y stop)}."""
        keep_alive = []
        chan_groups = (CHAN_GROUP * len(groups))()
        for entry, (start, stops) in zip(chan_groups, groups.items()):
            stop_array = (ctypes.c_int32 * len(stops))(*stops)
            keep_alive.append(stop_array)
            entry.start_chan, entry.stop_chans, entry.chan_count = start, stop_array, len(stops)
        dual_items = list((dual_groups or {}).items())
        duals = (DUAL_STOPS_GROUP * max(len(dual_items), 1))()
        for entry, (start, (x_stop, y_stop)) in zip(duals, dual_items):
            entry.start_chan, entry.x_stop_chan, entry.y_stop_chan = start, x_stop, y_stop
        self._library.ci_startstop_analysis(self.handle, duration, chan_groups, len(groups), duals, len(dual_items),
                                            coins_time_window, 1 if enable_t3_data else 0, _text(folder_path),
                                            _text(file_name))

    def startstop_analysis_json(self, duration, chan_groups_json, dualstops_groups_json, coins_time_window,
                                enable_t3_data=False, folder_path=None, file_name=None):
        """As startstop_analysis with the groups as JSON texts (or dicts)."""
        self._library.ci_startstop_analysis_json(self.handle, duration, _json_text(chan_groups_json),
                                                 _json_text(dualstops_groups_json), coins_time_window,
                                                 1 if enable_t3_data else 0, _text(folder_path), _text(file_name))

    fetch_startstop_processdata = _point_list("ci_fetch_startstop_processdata")
    fetch_startstop_average_processdata = _point_list("ci_fetch_startstop_average_processdata")

    def fetch_startstop_dualstops_rawdata(self, start_chan, timeout_ms=100):
        """(x stop tdiff, y stop tdiff) pairs of start_chan, (N, 2) int64."""
        return take_pairs(self._library, self._library.ci_fetch_startstop_dualstops_rawdata, self.handle,
                          start_chan, timeout_ms=timeout_ms)

    # -- n-fold coincidences -------------------------------------------------------
    def ncoins_analysis(self, duration, strategies, enable_raw_data=False, folder_path=None, file_name=None):
        """strategies: [(name, [channels], virtual_twin), ...]."""
        array, keep_alive = _strategies(strategies)
        self._library.ci_ncoins_analysis(self.handle, duration, array, len(strategies), 1 if enable_raw_data else 0,
                                         _text(folder_path), _text(file_name))
        del keep_alive

    def ncoins_analysis_json(self, duration, ncoins_strats_json, enable_raw_data=False, folder_path=None,
                             file_name=None):
        self._library.ci_ncoins_analysis_json(self.handle, duration, _json_text(ncoins_strats_json),
                                              1 if enable_raw_data else 0, _text(folder_path), _text(file_name))

    def apply_ncoins_strategies(self, strategies):
        array, keep_alive = _strategies(strategies)
        self._library.ci_apply_ncoins_strategies(self.handle, array, len(strategies))
        del keep_alive

    def apply_ncoins_strategies_json(self, ncoins_strats_json):
        self._library.ci_apply_ncoins_strategies_json(self.handle, _json_text(ncoins_strats_json))

    get_ncoins_cps = _returned_value("ci_get_ncoins_cps")
    fetch_ncoins_cps = _point_list("ci_fetch_ncoins_cps")

    def fetch_ncoins_rawdata(self, strategy_index, timeout_ms=1000):
        """The strategy's coincidence records as NCOINS_DATA (empty when none)."""
        rows = take_rows(self._library, self._library.ci_fetch_ncoins_rawdata, self.handle, strategy_index,
                         timeout_ms=timeout_ms, per_record=len(delivered_fields(NCOINS_DATA)))
        return to_records(rows, NCOINS_DATA)

    # -- period and stability --------------------------------------------------------
    def period_analysis(self, duration, decades, decade_points, fnom_hz, average_num=0, analysis_length=0,
                        sampling_interval=10, sampling_num=0, folder_path=None, file_name=None):
        self._library.ci_period_analysis(self.handle, duration, decades, decade_points, average_num, analysis_length,
                                         fnom_hz, sampling_interval, sampling_num, _text(folder_path),
                                         _text(file_name))

    fetch_period_stability_metric = _point_list("ci_fetch_period_stability_metric", np.float64)

    # -- autocorrelation and time tags ---------------------------------------------------
    def autocorrelation_analysis(self, duration, ch, min_tau, max_tau, bin_num, enable_t2_data=False,
                                 folder_path=None, file_name=None):
        self._library.ci_autocorrelation_analysis(self.handle, duration, ch, min_tau, max_tau, bin_num,
                                                  1 if enable_t2_data else 0, _text(folder_path), _text(file_name))

    fetch_autocorrelation_data = _point_list("ci_fetch_autocorrelation_data", np.float64)
    fetch_t2_data = _record_fetch("ci_fetch_t2_data", T2_DATA)
    fetch_t3_data = _record_fetch("ci_fetch_t3_data", T3_DATA)

    # -- pulses and energy ------------------------------------------------------------------
    def tot_analysis(self, duration, channel, enable_tot_data=False, folder_path=None, file_name=None):
        self._library.ci_tot_analysis(self.handle, duration, channel, 1 if enable_tot_data else 0,
                                      _text(folder_path), _text(file_name))

    fetch_tot_data = _record_fetch("ci_fetch_tot_data", TOT_DATA)

    def es_analysis(self, duration, channel, ad_integration_point, area_scale, enable_es_data=False,
                    folder_path=None, file_name=None):
        self._library.ci_es_analysis(self.handle, duration, channel, ad_integration_point, area_scale,
                                     1 if enable_es_data else 0, _text(folder_path), _text(file_name))

    fetch_es_data = _record_fetch("ci_fetch_es_data", ES_DATA)

    def conform_es_analysis(self, duration, ch1, ch2, ad_integration_point, area_scale, energy_window1,
                            energy_window2, coins_time_window, avg_times=1, folder_path=None, file_name=None):
        """energy_window1/2: (min, max) scaled areas of ch1 / ch2."""
        self._library.ci_conform_es_analysis(self.handle, duration, ch1, ch2, ad_integration_point, area_scale,
                                             energy_window1[0], energy_window1[1], energy_window2[0],
                                             energy_window2[1], coins_time_window, avg_times, _text(folder_path),
                                             _text(file_name))

    fetch_conform_es_area1_processdata = _point_list("ci_fetch_conform_es_area1_processdata")
    fetch_conform_es_area2_processdata = _point_list("ci_fetch_conform_es_area2_processdata")

    def ad_analysis(self, duration, channel, ad_integration_point=64, sampling_interval_ms=10, sampling_num=4096,
                    folder_path=None, file_name=None):
        self._library.ci_ad_analysis(self.handle, duration, channel, ad_integration_point, sampling_interval_ms,
                                     sampling_num, _text(folder_path), _text(file_name))


def _json_text(value):
    """A JSON text as given, or a Python value serialised to one."""
    if value is None or isinstance(value, (str, bytes)):
        return value.encode("utf-8") if isinstance(value, str) else value
    return json.dumps(value).encode("utf-8")


def _strategies(strategies):
    """NCOINS_STRATEGY array for [(name, channels, virtual_twin)] and the
    buffers it points into (keep them until the call returns)."""
    keep_alive = []
    array = (NCOINS_STRATEGY * max(len(strategies), 1))()
    for entry, (name, channels, virtual_twin) in zip(array, strategies):
        name_bytes = _text(name)
        channel_array = (ctypes.c_int32 * len(channels))(*channels)
        keep_alive += [name_bytes, channel_array]
        entry.strategy_name, entry.channels = name_bytes, channel_array
        entry.chan_count, entry.virtual_twin = len(channels), virtual_twin
    return array, keep_alive
