/*
 * veltranoapi: client library for a multi-channel time-to-digital converter.
 *
 * Every function whose name begins with ci_ is exported from the shared library
 * (libveltranoapi64.so or libveltranoapi32.so). The library never talks to the
 * hardware: a session holds one TCP connection to the instrument service, and
 * nearly every call sends one JSON request on it and waits for the one reply.
 *
 * General rules
 * - Handles: ci_create returns an opaque 64-bit handle (0 = failure). A handle
 *   that is 0, unknown or destroyed makes every function return its failure
 *   value (-1, a null pointer, 0) without any effect and without logging.
 * - Status codes of the int-returning command functions: 0 success; -1 the
 *   library could not complete the call (no session, connection closed,
 *   transport or reply error: see the log); any other value is the service's
 *   own code, passed through unchanged.
 * - Blocking: command functions block on the session's connection until the
 *   service answers; there is no time-out. Calls on one session from several
 *   threads are serialised per request/reply exchange.
 * - Texts are UTF-8 and NUL-terminated. A null text argument is taken as the
 *   empty string unless stated otherwise.
 * - Text outputs go into caller buffers with a capacity in bytes: at most
 *   capacity - 1 bytes are copied and a NUL is always written; longer text is
 *   cut. A null buffer or a capacity <= 0 receives nothing.
 * - Arrays returned by the library are allocated with malloc; the caller owns
 *   them and releases each exactly once with ci_free_int64_data (numbers) or
 *   ci_free_char_data (texts).
 * - Units: durations in whole seconds, time-outs and intervals in
 *   milliseconds, time differences in picoseconds.
 * - No C++ exception ever leaves a ci_ function.
 */
#ifndef VELTRANOAPI_VELTRANOAPI_H
#define VELTRANOAPI_VELTRANOAPI_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#  if defined(VELTRANO_BUILDING_LIBRARY)
#    define CI_API __declspec(dllexport)
#  else
#    define CI_API __declspec(dllimport)
#  endif
#else
#  define CI_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------ */
/* Session life cycle                                                        */
/* ------------------------------------------------------------------------ */

/*
 * Opens a session: reads the INI file config_path (section "server", keys
 * "server.ip", default "127.0.0.1", and "server.port", default 6789, decimal,
 * 0x hex or leading-0 octal), connects to the service and registers the
 * session. A relative config_path is resolved against base_dir; base_dir
 * (absolute, or relative to the current directory; empty or null = the current
 * directory) is the session's base directory for the log folder "log" and the
 * default output folder "output". Both arguments may be null.
 * Returns the new handle (1, 2, 3, ... in order of success within a process;
 * never reused), or 0 when the file cannot be read ("Load config file failed"
 * is logged) or the service cannot be reached (nothing logged).
 */
CI_API uint64_t ci_create(const char* config_path, const char* base_dir);

/*
 * Removes the session from the registry and closes its connection. Unknown
 * handles and 0 are ignored; a second call is harmless. A call still running
 * on the session from another thread keeps the session object alive until it
 * returns (it then fails with "Socket not connected" if it had not sent yet).
 */
CI_API void ci_destroy(uint64_t handle);

/* Removes and closes every session. Handles issued later continue the
 * sequence; the log stays open. */
CI_API void ci_cleanup(void);

/* ------------------------------------------------------------------------ */
/* Logging and version                                                       */
/* ------------------------------------------------------------------------ */

/*
 * Write text verbatim (no format interpretation) to the library log at the
 * level info, warn, error or critical. The log is the file log/veltranoapi.log
 * under the base directory of the first session that logs in the process;
 * it rotates at 1 MiB keeping 10 files and is flushed at every line. Unknown
 * handles log nothing; a null text logs an empty line.
 */
CI_API void ci_info(uint64_t handle, const char* text);
CI_API void ci_warn(uint64_t handle, const char* text);
CI_API void ci_error(uint64_t handle, const char* text);
CI_API void ci_critical(uint64_t handle, const char* text);

/* Copies the library version text "V1.4.0" into buffer by the text-copy rule.
 * The handle is ignored (0 is fine). Always returns 0. */
CI_API int ci_get_sw_version(uint64_t handle, char* buffer, int capacity);

/* ------------------------------------------------------------------------ */
/* Arrays and text helpers (no handle)                                       */
/* ------------------------------------------------------------------------ */

/* Copy count bytes / count 64-bit integers / count doubles from source to
 * destination. Nothing happens when a pointer is null or count <= 0. The
 * caller guarantees that both blocks hold count elements. */
CI_API void ci_copy_data(void* destination, const void* source, int count);
CI_API void ci_copy_int64_data(int64_t* destination, const int64_t* source, int count);
CI_API void ci_copy_double_data(double* destination, const double* source, int count);

/* Release an array returned by the library (integers or doubles / text).
 * A null pointer is ignored. Release every array exactly once. */
CI_API void ci_free_int64_data(void* data);
CI_API void ci_free_char_data(void* data);

/*
 * Format numbers as text lines into buffer (capacity in bytes):
 * - ci_int64_array_to_string: count rows of columns values, "%lld" separated
 *   by "," and each row ended by a line feed;
 * - ci_int64_pairs_to_string: "%lld,%lld\n" per pair (values x0,y0,x1,y1...);
 * - ci_double_pairs_to_string: "%.17g,%.17g\n" per pair.
 * Returns the number of characters written without the NUL; with a null
 * buffer or capacity <= 0 the size the call needs at most, NUL included
 * (21*columns*count+1, 42*count+1, 80*count+1). -1: invalid arguments (count
 * < 0, columns <= 0, null values with count > 0, size above INT_MAX); -2: the
 * buffer is too small; -3: formatting error. On -1 with a buffer, -2 and -3
 * the buffer holds the empty string (never partial text).
 */
CI_API int ci_int64_array_to_string(char* buffer, int capacity, const int64_t* values, int count, int columns);
CI_API int ci_int64_pairs_to_string(char* buffer, int capacity, const int64_t* pairs, int count);
CI_API int ci_double_pairs_to_string(char* buffer, int capacity, const double* pairs, int count);

/* ------------------------------------------------------------------------ */
/* Service link                                                              */
/* ------------------------------------------------------------------------ */

/* Asks the service to open its link to an instrument of device_type (the
 * types ci_get_devices reports): sends "connect" with "device_type". This does
 * not touch the session's TCP connection. Returns a status code. */
CI_API int ci_connect(uint64_t handle, int device_type);

/* Asks the service to close its link to the instrument ("disconnect").
 * Returns a status code. */
CI_API int ci_disconnect(uint64_t handle);

/* ------------------------------------------------------------------------ */
/* Channel settings                                                          */
/* ------------------------------------------------------------------------ */

/*
 * Every function of this and the following device sections is one exchange
 * with the service: the library keeps no copy of any setting, checks no value
 * and no channel number (sent unchanged as the JSON integer "channel"; the
 * service owns their meaning, units and valid ranges and rejects a value with
 * its own non-zero code) and blocks until the reply arrives, without time-out.
 *
 * Setters return a status code: 0, the service's own code, or -1 (see the
 * general rules; failures are logged as "Generic json call exception: ...").
 *
 * Getters send the request and store the value found in the reply's "data"
 * (a bare value, or the "value" of an object whose "status" is 0) through the
 * output pointer, then return the status code. The value is stored whatever
 * the code says. A reply without "data" leaves the output untouched; an
 * invalid "status" or a value of the wrong JSON type stores 0 (false). A null
 * output pointer is allowed: the command is still sent and nothing is written.
 * Failures are logged with the text of the value kind ("Generic json call with
 * i32 value exception: ...", "... with f64 value ...", "... with bool value
 * ...") and return -1 with the output untouched.
 */

/* Symbolic values of some settings, as the instrument service defines them.
 * They are plain integers: passing the number itself is the same. */
enum {
    CI_TERMINATION_50_OHM = 0,
    CI_TERMINATION_HIGH_IMPEDANCE = 1
};
enum {
    CI_EDGE_RISING = 0,
    CI_EDGE_FALLING = 1
};

/* Discriminator threshold of a channel: "set_dac" with "channel" (integer) and
 * "value" sent as a JSON floating-point number (0.25 stays 0.25; the simulator
 * takes volts). ci_get_dac sends "get_dac" with "channel" and stores the
 * threshold into *value. */
CI_API int ci_set_dac(uint64_t handle, int channel, double value);
CI_API int ci_get_dac(uint64_t handle, int channel, double* value);

/* Input termination (CI_TERMINATION_*): "set_term" with "channel" and "value"
 * (integers) / "get_term" with "channel" into *value. */
CI_API int ci_set_termination(uint64_t handle, int channel, int value);
CI_API int ci_get_termination(uint64_t handle, int channel, int* value);

/* Comparator hysteresis: "set_hts" / "get_hts", as above. */
CI_API int ci_set_hysteresis(uint64_t handle, int channel, int value);
CI_API int ci_get_hysteresis(uint64_t handle, int channel, int* value);

/* Delay added to every time tag of the channel (the simulator: picoseconds):
 * "set_interdelay" / "get_interdelay", as above. */
CI_API int ci_set_inter_delay(uint64_t handle, int channel, int value);
CI_API int ci_get_inter_delay(uint64_t handle, int channel, int* value);

/* Time after an accepted event during which the channel is blind (the
 * simulator: picoseconds): "set_deadtime" / "get_deadtime", as above. */
CI_API int ci_set_dead_time(uint64_t handle, int channel, int value);
CI_API int ci_get_dead_time(uint64_t handle, int channel, int* value);

/* The edge that is tagged (CI_EDGE_*): "set_edgetype" / "get_edgetype". */
CI_API int ci_set_edge_type(uint64_t handle, int channel, int value);
CI_API int ci_get_edge_type(uint64_t handle, int channel, int* value);

/* A/D integration point of the channel: "set_adp" / "get_adp". The energy
 * analyses carry their own integration point in their start requests. */
CI_API int ci_set_ad_integration_point(uint64_t handle, int channel, int value);
CI_API int ci_get_ad_integration_point(uint64_t handle, int channel, int* value);

/* Enable or disable one channel: "enable_channel" / "disable_channel" with
 * "channel". ci_is_channel_enabled sends "is_channel_enabled" with "channel"
 * and stores the state into the one-byte *enabled (only a JSON boolean counts;
 * anything else stores false). */
CI_API int ci_enable_channel(uint64_t handle, int channel);
CI_API int ci_disable_channel(uint64_t handle, int channel);
CI_API int ci_is_channel_enabled(uint64_t handle, int channel, bool* enabled);

/* Every channel at once: "enable_all_channels" / "disable_all_channels". */
CI_API int ci_enable_all_channels(uint64_t handle);
CI_API int ci_disable_all_channels(uint64_t handle);

/* ------------------------------------------------------------------------ */
/* Board settings and actions                                                */
/* ------------------------------------------------------------------------ */

/* Board-wide settings. Each setter sends its command with "value" (JSON
 * integer) and returns a status code; each getter sends its command alone and
 * stores the value into *value as the channel getters do (null allowed). */

/* Reference clock of the time-to-digital converter (CI_TDC_CLOCK_*):
 * "set_tdcclocksource" / "get_tdcclocksource". */
enum {
    CI_TDC_CLOCK_INTERNAL = 0,
    CI_TDC_CLOCK_EXTERNAL = 1
};
CI_API int ci_set_tdc_clock_source(uint64_t handle, int value);
CI_API int ci_get_tdc_clock_source(uint64_t handle, int* value);

/* Data mode: "set_datamode" / "get_datamode". */
CI_API int ci_set_data_mode(uint64_t handle, int value);
CI_API int ci_get_data_mode(uint64_t handle, int* value);

/* Test mode: "set_testmode" / "get_testmode". */
CI_API int ci_set_test_mode(uint64_t handle, int value);
CI_API int ci_get_test_mode(uint64_t handle, int* value);

/* Bandwidth of the generated test data: "set_databandwidth" /
 * "get_databandwidth". */
CI_API int ci_set_test_data_bandwidth(uint64_t handle, int value);
CI_API int ci_get_test_data_bandwidth(uint64_t handle, int* value);

/* Board identifier: "set_boardid" with "value". ci_get_board_id sends
 * "get_boardid" and returns the identifier itself, or -1 when there is none
 * (failure, "result" -1, no "data", "status" not 0); failures are logged as
 * "Generic json call returned int value exception: ...". */
CI_API int ci_set_board_id(uint64_t handle, int value);
CI_API int ci_get_board_id(uint64_t handle);

/* Coincidence time window of the board (the simulator: picoseconds):
 * "set_coinstimewindow" / "get_coinstimewindow". The analyses carry their own
 * window in their start requests. */
CI_API int ci_set_coins_time_window(uint64_t handle, int value);
CI_API int ci_get_coins_time_window(uint64_t handle, int* value);

/* Divisor of A/D pulse areas: "set_adareascale" / "get_adareascale". */
CI_API int ci_set_ad_area_scale(uint64_t handle, int value);
CI_API int ci_get_ad_area_scale(uint64_t handle, int* value);

/* Acquisition type: "set_acqtype" / "get_acqtype". */
CI_API int ci_set_acq_type(uint64_t handle, int value);
CI_API int ci_get_acq_type(uint64_t handle, int* value);

/* Output gate type: "set_outputgatetype" / "get_outputgatetype". */
CI_API int ci_set_output_gate_type(uint64_t handle, int value);
CI_API int ci_get_output_gate_type(uint64_t handle, int* value);

/* Output gate delay (the simulator: picoseconds): "set_gatedelay" /
 * "get_gatedelay". */
CI_API int ci_set_gate_delay(uint64_t handle, int value);
CI_API int ci_get_gate_delay(uint64_t handle, int* value);

/* Board actions, each its command alone: "tdc_resetn" (reset the time-to-
 * digital converter), "system_resetn" (reset the system), "reset_state"
 * (reset the measurement state), "self_check" (the service answers a
 * non-zero code when the check fails). Each returns a status code. */
CI_API int ci_tdc_resetn(uint64_t handle);
CI_API int ci_system_resetn(uint64_t handle);
CI_API int ci_reset_state(uint64_t handle);
CI_API int ci_self_check(uint64_t handle);

/* ------------------------------------------------------------------------ */
/* Device list, status and identity                                          */
/* ------------------------------------------------------------------------ */

/* One entry of the service's device list: 260 bytes, no padding. */
typedef struct DEVICE_INFO {
    int32_t device_type;   /* the type to pass to ci_connect (0 when absent) */
    char device_name[256]; /* NUL-terminated, at most 255 bytes ("" when absent) */
} DEVICE_INFO;

/* Health readings of the device: 36 bytes, no padding. Units are the
 * service's (the simulator: degrees Celsius and amperes). */
typedef struct DEVICE_STATUS {
    int32_t temperature;
    float current1;
    float current2;
    float current3;
    float current4;
    float current5;
    float current6;
    float current7;
    float current8;
} DEVICE_STATUS;

/* The layouts are part of the interface (32- and 64-bit builds alike); the
 * compiler checks them in C11 and C++. */
#if defined(__cplusplus)
static_assert(sizeof(DEVICE_INFO) == 260, "DEVICE_INFO must be 260 bytes");
static_assert(sizeof(DEVICE_STATUS) == 36, "DEVICE_STATUS must be 36 bytes");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(DEVICE_INFO) == 260, "DEVICE_INFO must be 260 bytes");
_Static_assert(sizeof(DEVICE_STATUS) == 36, "DEVICE_STATUS must be 36 bytes");
#endif

/*
 * Sends "get_devices" and fills the caller's array of count entries. The
 * reply's "result" is not consulted; the list is its "devices" array.
 * Returns the number of devices in the list (which may exceed count), 0 when
 * the reply has no "devices" array (nothing written), and -1 on failure or
 * when devices is not null and count <= 0.
 * With devices null nothing is written: the call only counts (size the array
 * with it). Otherwise all count entries are zeroed first, then the first
 * min(total, count) list elements fill the entries from the front; an element
 * that is not an object is skipped without using an entry. device_name is cut
 * to 255 bytes. A "device_type" that is not a number or a "device_name" that
 * is not text fails the call (-1, "Get devices exception: ..." logged);
 * entries filled before it stay.
 */
CI_API int ci_get_devices(uint64_t handle, DEVICE_INFO* devices, int count);

/* Sends "get_devices" and returns the number of devices in the list, 0 when
 * the reply has none, -1 on failure ("Get device num exception: ..."). */
CI_API int ci_get_device_num(uint64_t handle);

/*
 * Sends "get_devices" and reads the entry at the 0-based index: its type into
 * *device_type (may be null) and its name into name by the text-copy rule
 * (name_len is the buffer size in bytes). Returns 0, or -1 when index < 0,
 * name is null or name_len <= 0 (nothing sent), when the list is missing, the
 * index is not below its length or the entry is not an object (outputs
 * untouched), and on failure ("Get device exception: ..." logged; also for a
 * "device_type" that is not a number or a "device_name" that is not text).
 */
CI_API int ci_get_device(uint64_t handle, int index, int* device_type, char* name, int name_len);

/*
 * Sends "get_devicestatus" and fills *status (may be null) from the reply's
 * "data" object: "temperature" (integer) and "current1" to "current8"
 * (doubles narrowed to float), 0 for a missing member. Filling stops quietly
 * at the first member of unusable type: the fields before it hold the new
 * values, the rest keep what the caller had. Without a "data" object nothing
 * is written. Returns the reply's "result" (-1 when it has none); -1 on
 * failure ("Get device status exception: ..." logged).
 */
CI_API int ci_get_device_status(uint64_t handle, DEVICE_STATUS* status);

/* Sends "get_devicestatus" and stores only "temperature" of the "data" object
 * (0 when missing) into *temperature (may be null). Returns the reply's
 * "result"; -1 on failure, including a "temperature" that is not a number
 * ("Get device temperature exception: ..." logged, output untouched). */
CI_API int ci_get_device_temp(uint64_t handle, int* temperature);

/* Single identity and health values, each its command alone; the result is
 * the value itself, or -1 when there is none (as ci_get_board_id):
 * fan speed "get_fanspeed" (the simulator: revolutions per minute), model code
 * "get_devicemodel", device type "get_devicetype", number of input channels
 * "get_channelnum". */
CI_API int ci_get_fan_speed(uint64_t handle);
CI_API int ci_get_device_model(uint64_t handle);
CI_API int ci_get_device_type(uint64_t handle);
CI_API int ci_get_channel_num(uint64_t handle);

/* Firmware version ("get_fwversion") and product serial number
 * ("get_productsn") as text into buffer by the text-copy rule (buffer_len in
 * bytes; a null buffer receives nothing, the command is still sent). The text
 * is the bare "data" string or the "value" of a "data" object whose "status"
 * is 0; otherwise the buffer is untouched. Returns a status code; failures are
 * logged as "Generic json call with string value exception: ...". */
CI_API int ci_get_fw_version(uint64_t handle, char* buffer, int buffer_len);
CI_API int ci_get_product_sn(uint64_t handle, char* buffer, int buffer_len);

/* ------------------------------------------------------------------------ */
/* Network settings                                                          */
/* ------------------------------------------------------------------------ */

/*
 * The instrument's network identity, in two parallel sets with the same
 * shapes: the plain set (ci_set_ips ... ci_get_mac) and the w-set
 * (ci_set_wips ... ci_get_wmac). Addresses travel as JSON strings exactly as
 * given (the library neither parses nor normalises them; a null text is sent
 * as ""), ports as JSON integers. The service validates them and answers a
 * non-zero code for a value it rejects. Every function returns a status code.
 *
 * Getters read a "data" object whose "status" is 0; any other "data" (a bare
 * value, "status" missing or not 0) leaves every output untouched. Texts go
 * into their buffers by the text-copy rule (a null buffer or a length <= 0
 * receives nothing, the other buffer of a pair is still filled); ports are
 * stored when their pointer is not null; a missing member stores "" or 0.
 * Failures are logged with "Generic json call exception: ..." (setters) or
 * "Generic json call with ip / mac / netport value exception: ..." (getters).
 */

/* Local and device IP addresses: "set_ips" / "set_wips" with "local_ip" and
 * "device_ip" (strings); "get_ips" / "get_wips" fill "local_ip" and
 * "device_ip" into the two buffers (lengths in bytes). */
CI_API int ci_set_ips(uint64_t handle, const char* local_ip, const char* device_ip);
CI_API int ci_get_ips(uint64_t handle, char* local_ip, int local_ip_len, char* device_ip, int device_ip_len);
CI_API int ci_set_wips(uint64_t handle, const char* local_ip, const char* device_ip);
CI_API int ci_get_wips(uint64_t handle, char* local_ip, int local_ip_len, char* device_ip, int device_ip_len);

/* Local and device ports: "set_netports" / "set_wnetports" with "local_port"
 * and "device_port" (integers); "get_netports" / "get_wnetports" store
 * "local_port" and "device_port" into the two ints. */
CI_API int ci_set_net_ports(uint64_t handle, int local_port, int device_port);
CI_API int ci_get_net_ports(uint64_t handle, int* local_port, int* device_port);
CI_API int ci_set_wnet_ports(uint64_t handle, int local_port, int device_port);
CI_API int ci_get_wnet_ports(uint64_t handle, int* local_port, int* device_port);

/* Device MAC address: "set_mac" / "set_wmac" with "device_mac" (string);
 * "get_mac" / "get_wmac" fill "device_mac" into the buffer (length in bytes). */
CI_API int ci_set_mac(uint64_t handle, const char* device_mac);
CI_API int ci_get_mac(uint64_t handle, char* device_mac, int device_mac_len);
CI_API int ci_set_wmac(uint64_t handle, const char* device_mac);
CI_API int ci_get_wmac(uint64_t handle, char* device_mac, int device_mac_len);

/* ------------------------------------------------------------------------ */
/* Count rates                                                               */
/* ------------------------------------------------------------------------ */

/* The current counts per second of one input channel: "get_single_cps"
 * (single rate) or "get_coins_cps" (coincidence rate) with "channel" (JSON
 * integer, sent unchanged). Returns the rate: the bare "data" number or the
 * "value" of a "data" object whose "status" is 0. -1 when the reply's
 * "result" is -1 or missing, "data" is missing or its "status" is not 0, and
 * on failure ("Generic json call returned int value exception: ..."); a rate
 * of -1 cannot be told apart from a failure. */
CI_API int ci_get_single_cps(uint64_t handle, int channel);
CI_API int ci_get_coins_cps(uint64_t handle, int channel);

/*
 * Timed recordings of the rates into a CSV file. Single and coincidence
 * recordings are independent and may run at the same time; each kind has at
 * most one recording per session.
 *
 * ci_output_single_cps / ci_output_coins_cps start one: a recording of this
 * kind that is still running ends without being saved; then the call sends
 * "start_single_cps_recording" / "start_coins_cps_recording" (no other key)
 * and, when the service answers 0, starts the session's recording timer and
 * returns 0 at once (it does not wait for the duration). duration is in
 * seconds; duration <= 0 returns -1 with nothing sent and nothing changed.
 * Otherwise returns the start command's status (no timer when it is not 0).
 * folder and file_name (both may be null) are remembered for the save: folder
 * null or "" = "output" under the session base directory, a relative folder is
 * resolved against the base directory; file_name null or "" = "single_cps" /
 * "coins_cps"; a name without extension receives "_", the local time as
 * YYYYMMDDhhmmss and ".csv". An existing file of that name is replaced.
 *
 * When the duration has passed, the timer fetches the recorded rows with
 * "get_singlecps_data" / "get_coinscps_data" (a binary frame holding the
 * service's text rows "timestamp,channel_no,cps") and writes the file: the
 * line "timestamp, channel_no, cps", a line feed, then the rows exactly as
 * received. The timer reports nothing to the caller; its failures go to the
 * log. The timer keeps the session alive until it ends, also after
 * ci_destroy (its save then finds no session and writes nothing).
 *
 * ci_stop_singlecps_recording / ci_stop_coinscps_recording end the recording
 * now (the timer stops within moments; no stop command is sent) and save it
 * as above unless it has been saved already: each recording is saved at most
 * once, by the timer or by the stop, whichever comes first, and a save that
 * failed is not retried. A stop on a session that never recorded fetches and
 * saves once. Returns 0 (also when already saved: nothing is sent then), or
 * -1 when the save fails: the fetch is answered by JSON ("Fetch single cps
 * data failed" / "Fetch coins cps data failed" logged), no output path can be
 * formed ("Create output file path failed for single cps" / "... for cois
 * cps"), the file cannot be written ("Write single cps file failed: <path>" /
 * "Write coins cps file failed: <path>") or the exchange fails ("Stop single
 * cps recording exception: ..." / "Stop coins cps recording exception: ...").
 * Blocks on the connection for the fetch, without time-out.
 */
CI_API int ci_output_single_cps(uint64_t handle, int duration, const char* folder, const char* file_name);
CI_API int ci_output_coins_cps(uint64_t handle, int duration, const char* folder, const char* file_name);
CI_API int ci_stop_singlecps_recording(uint64_t handle);
CI_API int ci_stop_coinscps_recording(uint64_t handle);

/* ------------------------------------------------------------------------ */
/* Raw data acquisition                                                      */
/* ------------------------------------------------------------------------ */

/*
 * The library moves raw data as opaque bytes, in the order the service sent
 * them; their layout is the service's and depends on the acquisition data
 * format (ci_set_acq_dataformat).
 *
 * An acquisition started without a file name runs a library thread that keeps
 * asking the service for new data ("fetch_rawdata") and collects it in a
 * session buffer: ci_fetch_rawdata takes it from there, or, with
 * ci_acq_rawdata_local and a file name, a second library thread writes it to
 * volume files. The polling thread starts 500 ms after the start, and ends on
 * ci_stop_acq, on the next start, after 3 failed fetches in a row ("Fetch raw
 * data failed, stopping acq raw data thread" in the log) or after 50 fetches
 * in a row without data (about 5 ms of silence from the service; "No data
 * received for a while, stopping acq raw data thread"). Bytes received before
 * it ended stay available until they are fetched or ci_stop_acq drops them.
 * A session with an acquisition thread stays alive after ci_destroy until the
 * thread has ended (its fetches then fail).
 */

/*
 * Starts a raw acquisition of duration seconds: sends "acq_rawdata" with
 * "data_mode", "duration", "folder_path", "file_name", "max_volume_size"
 * (integers and strings as given; null texts are sent as "") and
 * "force_close" (true exactly when force_close is 1). Any running acquisition
 * of the session is stopped and joined first; bytes it left unfetched stay in
 * the buffer and come first.
 * With a non-empty file_name the service stores the data itself (folder, name
 * and volume size in MiB are its to interpret) and no library thread runs.
 * Otherwise the library's acquisition thread starts.
 * Returns 0, the service's code (no thread started), or -1: duration < 1
 * (nothing sent, a running acquisition is left alone), unknown handle,
 * failed exchange. Blocks while an earlier acquisition is joined.
 */
CI_API int ci_acq_rawdata(uint64_t handle, int data_mode, int duration, const char* folder_path, const char* file_name, int max_volume_size, uint8_t force_close);

/*
 * Takes the bytes collected so far: returns a malloc block holding all of them
 * (at most 2^31 - 1 bytes per call; a larger backlog comes in several calls)
 * and stores its length in *size (may be null). Release it with
 * ci_free_char_data. When nothing is buffered yet it waits up to timeout_ms
 * milliseconds (0 or negative: no wait), polling every 0.1 ms at first and
 * every 1 ms later. *size is set to 0 first; returns null with 0 for an
 * unknown handle, when no acquisition has run since the session's start or the
 * last ci_stop_acq, during a local acquisition to files (the data goes to the
 * files), when the acquisition has ended and everything has been taken, and
 * when the time-out passes. Sends nothing.
 */
CI_API char* ci_fetch_rawdata(uint64_t handle, int* size, int timeout_ms);

/*
 * Sends "stop_acq", then stops and joins the library's acquisition threads.
 * A local acquisition writes everything it received, closes its files and
 * cuts the last volume to its length before this returns; bytes not yet
 * fetched with ci_fetch_rawdata are dropped. Returns the status code of
 * "stop_acq" (-1 also for an unknown handle). Blocks until the threads end.
 */
CI_API int ci_stop_acq(uint64_t handle);

/* Sends "wait_data_ready" with "timeout_ms" (the service waits up to that
 * many milliseconds for raw data to be ready) and returns its status code. */
CI_API int ci_wait_data_ready(uint64_t handle, int timeout_ms);

/* Sends "is_rawdata_processing" and stores into *processing (may be null)
 * whether the service is processing raw data (a bare JSON boolean or the
 * "value" of a "data" object whose "status" is 0; anything else stores
 * false). Returns a status code ("Generic json call with bool value ..."). */
CI_API int ci_is_rawdata_processing(uint64_t handle, bool* processing);

/* Acquisition data format: "set_acq_dataformat" with "data_format" (integer,
 * the service's code) returns a status code; "get_acq_dataformat" returns the
 * code itself, or -1 when there is none (as ci_get_board_id). */
CI_API int ci_set_acq_dataformat(uint64_t handle, int data_format);
CI_API int ci_get_acq_dataformat(uint64_t handle);

/*
 * Starts a raw acquisition of duration seconds whose data the library stores
 * itself: sends "acq_rawdata" with "data_mode", "duration" and "force_close"
 * only (true exactly when force_close is 1), stops any running acquisition
 * first and starts the acquisition thread. With file_name null or empty no
 * file is written and ci_fetch_rawdata delivers the data.
 * Otherwise the file extension follows "get_acq_dataformat": 1 ".dat",
 * 2 ".csv", anything else (a failed query too) ".bin"; a file_name without
 * extension becomes file_name + "_" + a 14-digit local timestamp + that
 * extension, one with an extension is used as it is. The files go into
 * folder_path (relative to the session's base directory; null or empty:
 * "raw"), created as needed; existing files of the same names are replaced.
 * Volumes hold at most max_volume_size MiB (0 or less: one file without
 * limit): run.bin, run_1.bin, run_2.bin, ...; concatenated in that order they
 * equal the stream. They are closed and cut to their length when the
 * acquisition ends by itself, on ci_stop_acq or on the next start.
 * Returns 0 when the acquisition runs, or -1: duration < 1 or unknown handle
 * (nothing sent), failed exchange, the folder cannot be resolved ("Get full
 * folder path failed") or the first volume cannot be created ("Writer
 * creation failed: ..."); in the last two cases the acquisition runs on and
 * its data can be fetched with ci_fetch_rawdata. A non-zero service code of
 * "acq_rawdata" does not stop the start.
 */
CI_API int ci_acq_rawdata_local(uint64_t handle, int data_mode, int duration, const char* folder_path, const char* file_name, int max_volume_size, uint8_t force_close);

/* ------------------------------------------------------------------------ */
/* Raw-to-hex conversion                                                     */
/* ------------------------------------------------------------------------ */

/*
 * Hex text format of both conversions: two lower-case hex digits per input
 * byte (high nibble first), 8 bytes (16 digits) per line, every line, the
 * last included, ended by a line feed; no separators, addresses or header.
 * N input bytes give 2N + ceil(N / 8) bytes of text; an empty input gives an
 * empty text.
 */

/*
 * Asks the service to convert one of its own files: sends "convert_to_hex"
 * with "bin_file" and "hex_file" (both paths are the service's; hex_file null
 * is sent as ""). Returns the status code, or -1 when bin_file is null or
 * empty ("Empty bin file name specified" in the log, nothing sent), for an
 * unknown handle, or when the exchange fails. Blocks until the service
 * answers.
 */
CI_API int ci_convert_to_hex(uint64_t handle, const char* bin_file, const char* hex_file);

/*
 * Converts a file on this machine inside the library and sends nothing.
 * Relative paths are resolved against the session's base directory. The text
 * goes to hex_file when it is non-empty and differs from bin_file (".dat" is
 * appended when it has no extension); otherwise to bin_file without its
 * extension + "_convert.dat" (raw.bin gives raw_convert.dat). An existing
 * output file is replaced; missing folders are created. Returns 0 when the
 * whole file was converted and written, or -1: bin_file null or empty ("Empty
 * bin file name specified" in the log), unknown handle, input missing or
 * unreadable (no output file is created), output that cannot be created or
 * written completely (a partial output file may remain). The reasons of the
 * last two go to the standard error stream ("Convert RAW binary file error:
 * ..."), not to the log. Blocks the calling thread until done; reads 1 MiB at a
 * time, so memory use does not grow with the file. Several conversions of
 * different files may run at the same time.
 */
CI_API int ci_convert_to_hex_local(uint64_t handle, const char* bin_file, const char* hex_file);

/* ------------------------------------------------------------------------ */
/* Analyses: common                                                          */
/* ------------------------------------------------------------------------ */

/*
 * Every analysis runs inside the service. Its start function (below and in
 * the following sections) sends the start command and returns at once; a stop
 * timer then ends the run duration + 2 s later, unless the caller stops it
 * first. A timer stops only the run it was started for: when that run has
 * been stopped already, or a later analysis start has superseded it, the
 * timer does nothing at all. At the end the library fetches the run's
 * processed results (point lists) and appends them to the CSV files prepared
 * at start, then sends the analysis's stop command.
 *
 * CSV files: the header line written at start, then one line "x,y" per point,
 * no space after the comma, each number in the default format of a double
 * stream (6 significant digits: 1234.5, 123456, 1.23457e+06, 1.2e-05, nan,
 * inf); the file is appended in text mode.
 *
 * Point-list arrays: the fetches below return malloc'ed arrays x0, y0, x1, y1,
 * ... and store the number of points (not elements) into *count (count may be
 * null; it is set to 0 first). Integer forms round each value to the nearest
 * integer, halves away from zero; a point with an infinite or NaN coordinate
 * becomes 0, 0. Null with count 0 for an empty list, a list of more than
 * 0x3FFFFFFF points, a reply that is JSON ("Fetch analysis data failed"
 * logged) or a malformed point list (nothing logged), and on failure ("Fetch
 * analysis data exception: ..."). Release arrays with ci_free_int64_data.
 */

/*
 * The common stop of each analysis: stops and joins the session's raw-data
 * threads (always), then, for the first stop of a run only, saves the run's
 * results into the files prepared at its start (nothing when no file name was
 * given) and sends "stop_tof_analysis", "stop_ad_analysis",
 * "stop_tot_analysis", "stop_es_analysis", "stop_conform_es_analysis",
 * "stop_period_analysis", "stop_startstop_analysis", "stop_ncoins_analysis"
 * or "stop_autocorrelation_analysis" (no other key). A run already stopped
 * (by the timer or an earlier call) returns 0 and sends nothing. Returns 0, or
 * -1 when a save failed ("Save process data to file failed for analysis
 * type:<kind>" logged; the stop command is still sent) or the stop command
 * did not answer 0. Blocks on the connection for the saves and the stop, and
 * while raw-data threads finish their current exchange.
 */
CI_API int ci_stop_tof_analysis(uint64_t handle);
CI_API int ci_stop_ad_analysis(uint64_t handle);
CI_API int ci_stop_tot_analysis(uint64_t handle);
CI_API int ci_stop_es_analysis(uint64_t handle);
CI_API int ci_stop_conform_es_analysis(uint64_t handle);
CI_API int ci_stop_period_analysis(uint64_t handle);
CI_API int ci_stop_startstop_analysis(uint64_t handle);
CI_API int ci_stop_ncoins_analysis(uint64_t handle);
CI_API int ci_stop_autocorrelation_analysis(uint64_t handle);

/*
 * The processed data of the analysis the service holds (for time of flight:
 * time difference in ps, counts): sends "fetch_processdata" and returns the
 * point list as 64-bit integer pairs (see above). The five functions are one
 * and the same. Blocks on the connection without time-out.
 */
CI_API int64_t* ci_fetch_tof_processdata(uint64_t handle, int* count);
CI_API int64_t* ci_fetch_tot_processdata(uint64_t handle, int* count);
CI_API int64_t* ci_fetch_es_processdata(uint64_t handle, int* count);
CI_API int64_t* ci_fetch_conform_es_processdata(uint64_t handle, int* count);
CI_API int64_t* ci_fetch_period_processdata(uint64_t handle, int* count);

/*
 * The raw points of a period or A/D analysis started without a file name: the
 * points buffered so far as 64-bit integer pairs (see above), each point
 * handed out once. Sends nothing: the library's raw-data thread fetches them.
 * Waits up to timeout_ms (ms) for the first point. Points still buffered after
 * the run ended or was stopped are handed out; null with *count 0 when raw
 * data goes to a file, when no raw-data run has buffered anything, when the
 * run is over and nothing is left, or when nothing came in time. The two
 * functions are one and the same.
 */
CI_API int64_t* ci_fetch_period_rawdata(uint64_t handle, int* count, int timeout_ms);
CI_API int64_t* ci_fetch_ad_rawdata(uint64_t handle, int* count, int timeout_ms);

/* Sends "clear_analysis_data"; returns the bare "data" number or the "value"
 * of a "data" object whose "status" is 0, and -1 when "result" is -1 or
 * missing, "data" is missing or invalid, or on failure ("Generic json call
 * returned int value exception: ..."). */
CI_API int ci_clear_analysis_data(uint64_t handle);

/* Sends "is_ncoins_analysis_processing" and stores into *processing (may be
 * null) whether the service is still processing the n-fold coincidence
 * analysis: a bare JSON boolean, or the "value" of a "data" object whose
 * "status" is 0; false otherwise. Returns the reply's "result" (-1 on failure:
 * "Generic json call with bool value exception: ..."). */
CI_API int ci_is_ncoins_analysis_processing(uint64_t handle, bool* processing);

/* ------------------------------------------------------------------------ */
/* Time of flight                                                            */
/* ------------------------------------------------------------------------ */

/*
 * Starts a time-of-flight analysis of duration seconds: the service
 * histograms the time differences from events on ch1 (start) to events on ch2
 * (stop) within coins_time_window, averaged over avg_times runs; with
 * enable_t3_data 1 it also keeps T3 time-tag records. duration <= 0 returns -1
 * with nothing sent. Otherwise the call first stops and joins the raw-data
 * threads of an earlier analysis, then, when file_name is not null or empty,
 * creates the counts file <file_name>_counts (folder_path null or "" =
 * "output" under the session base directory; a name without extension
 * receives "_", the local time as YYYYMMDDhhmmss and ".csv") with the header
 * line "tdiff(ps), counts"; when no path can be formed it logs "Prepare
 * output file paths failed for tof analysis" and returns -1. Then it sends
 * "tof_analysis" with "duration", "ch1", "ch2", "coins_time_window",
 * "enable_t3_data", "avg_times" (JSON integers, unchecked), "folder_path" and
 * "file_name" (strings, "" for null), and returns the service's status; on 0
 * it starts the stop timer. When the run ends, the counts file receives the
 * histogram (time difference in ps, counts) and then the cross-correlation
 * file its g2 curve; then "stop_tof_analysis" is sent. Blocks on the
 * connection without time-out.
 */
CI_API int ci_tof_analysis(uint64_t handle, int duration, int ch1, int ch2, int coins_time_window, uint8_t enable_t3_data, int avg_times, const char* folder_path, const char* file_name);

/*
 * Configures the g2 cross-correlation of the running analysis: sends
 * "set_cross_correlation_config" with "virtual_twin", "bin_width", "dcr1" and
 * "dcr2" (JSON integers, forwarded unchanged; the dark count rates of the two
 * channels) and returns the service's status. Call it after the start: when
 * the latest time-of-flight, start-stop or n-fold coincidence start was given
 * a file name, it first creates <file_name>_cross_correlation in that start's
 * folder with the header line "tdiff(ps), cross_correlation(g2)" (no path:
 * "Prepare output cross correlation file paths failed for tof analysis"
 * logged, -1, nothing sent). A start clears that file, so a configuration set
 * before the start saves no g2 curve. Blocks on the connection.
 */
CI_API int ci_set_cross_correlation_config(uint64_t handle, int virtual_twin, int bin_width, int dcr1, int dcr2);

/*
 * The current g2 curve: sends "fetch_cross_correlation_data" and returns the
 * point list as double pairs (time difference in ps, g2), unrounded; a point
 * with an infinite or NaN coordinate becomes 0, 0. Null and count rules as for
 * the integer fetches above; release with ci_free_int64_data. Blocks on the
 * connection without time-out.
 */
CI_API double* ci_fetch_cross_correlation_data(uint64_t handle, int* count);

/* ------------------------------------------------------------------------ */
/* Start-stop analysis                                                       */
/* ------------------------------------------------------------------------ */

/* One channel group: a start channel and its chan_count stop channels
 * (stop_chans may be null when chan_count is 0; the library only reads it). */
typedef struct CHAN_GROUP {
    int32_t start_chan;
    const int32_t* stop_chans;
    int32_t chan_count;
} CHAN_GROUP;

/* A start channel whose dual stops are recorded: per start event the pair of
 * time differences to x_stop_chan and to y_stop_chan. 12 bytes. */
typedef struct DUAL_STOPS_GROUP {
    int32_t start_chan;
    int32_t x_stop_chan;
    int32_t y_stop_chan;
} DUAL_STOPS_GROUP;

#if defined(__cplusplus)
static_assert(sizeof(CHAN_GROUP) == 3 * sizeof(void*), "CHAN_GROUP layout");
static_assert(offsetof(CHAN_GROUP, stop_chans) == sizeof(void*), "CHAN_GROUP layout");
static_assert(offsetof(CHAN_GROUP, chan_count) == 2 * sizeof(void*), "CHAN_GROUP layout");
static_assert(sizeof(DUAL_STOPS_GROUP) == 12, "DUAL_STOPS_GROUP must be 12 bytes");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(CHAN_GROUP) == 3 * sizeof(void*), "CHAN_GROUP layout");
_Static_assert(offsetof(CHAN_GROUP, stop_chans) == sizeof(void*), "CHAN_GROUP layout");
_Static_assert(offsetof(CHAN_GROUP, chan_count) == 2 * sizeof(void*), "CHAN_GROUP layout");
_Static_assert(sizeof(DUAL_STOPS_GROUP) == 12, "DUAL_STOPS_GROUP must be 12 bytes");
#endif

/*
 * Starts a start-stop analysis of duration seconds: the service histograms the
 * time differences (picoseconds) from each group's start channel to each of
 * its stop channels within the coincidence window coins_time_window (sent as
 * given), and for every dual-stop group records the pair of time differences
 * to its x and y stop channels per start event.
 * Sends "startstop_analysis" with "duration", "chan_groups" (object: the start
 * channel in decimal -> array of its stop channels; a later group with the
 * same start channel replaces an earlier one), "dual_stops_groups" (object:
 * the start channel -> [x stop, y stop]; {} when dual_count is 0),
 * "coins_time_window", "enable_t3_data" (integer; 1 asks the service to keep
 * T3 records), "folder_path" and "file_name" (null texts sent as ""). The
 * service writes its own T3 files with the last two.
 * Before sending, the raw threads of the session's previous analysis are
 * stopped and joined and its unfetched dual-stop pairs dropped. After the
 * start a library thread fetches the dual-stop pairs every 20 ms
 * ("fetch_startstop_dualstops_rawdata" with "start_chan") until duration + 2
 * s have passed, the analysis is stopped or a fetch fails. With a non-empty
 * file_name they are appended to one CSV file per dual-stop start channel s:
 * <file_name>_dual_stops_<s> (header "x_stop_tdiff, y_stop_tdiff", lines
 * "x,y"); without one they wait in memory for
 * ci_fetch_startstop_dualstops_rawdata.
 * The analysis ends after duration + 2 s, or earlier with
 * ci_stop_startstop_analysis: with a file_name the library then saves one
 * histogram file per (start s, stop t) pair, <file_name>_start_stop_<s>_<t>,
 * and for each start channel with at least 2 stop channels an average file
 * <file_name>_start_stop_<s>_average (header "tdiff, counts"; lines
 * "tdiff,counts"), and sends "stop_startstop_analysis". Files go into
 * folder_path (null or empty: "output"; relative to the session's base
 * directory); a name without extension receives "_", a 14-digit local
 * timestamp and ".csv" after its suffix.
 * Returns 0 when the analysis runs, the service's code of the start command,
 * or -1 with nothing sent: duration <= 0 (nothing logged), groups null or
 * group_count <= 0 ("Please specify channel groups"), coins_time_window <= 0
 * ("Invalid coins time window"), a group with chan_count > 0 and stop_chans
 * null ("Invalid chan group: stop_chans is null but chan_count > 0"),
 * dual_groups null with dual_count > 0 ("Invalid dual stops groups:
 * dual_groups is null but dual_count > 0"), unknown handle; -1 also when the
 * exchange fails. Blocks while earlier raw threads are joined and until the
 * service answers.
 */
CI_API int ci_startstop_analysis(uint64_t handle, int duration, const CHAN_GROUP* groups, int group_count, const DUAL_STOPS_GROUP* dual_groups, int dual_count, int coins_time_window, uint8_t enable_t3_data, const char* folder_path, const char* file_name);

/*
 * ci_startstop_analysis with the groups as JSON texts (null counts as empty).
 * chan_groups_json: an object, start channel key -> array of stop channels,
 * e.g. {"1":[2,3]}; dualstops_groups_json: an object, start channel key ->
 * [x stop, y stop], e.g. {"1":[2,3]}, or {} for none. Keys are read like
 * std::stoi (leading white space and sign allowed, trailing characters
 * ignored); channels must be numbers (fractions truncated) or booleans within
 * the int range. The parsed texts are sent as "chan_groups" and
 * "dual_stops_groups" unchanged.
 * Returns as ci_startstop_analysis; -1 with nothing sent also for an empty
 * chan_groups_json ("Please specify channel groups"), a chan_groups_json
 * that is not such an object ("Parse chan_groups_json failed: <reason>"), an
 * empty or malformed dualstops_groups_json ("Parse dualstops_groups_json
 * failed: <reason>") and a dual-stop entry that is not an array of two
 * ("Invalid dual_stops_groups entry for start_chan: <key>").
 */
CI_API int ci_startstop_analysis_json(uint64_t handle, int duration, const char* chan_groups_json, const char* dualstops_groups_json, int coins_time_window, uint8_t enable_t3_data, const char* folder_path, const char* file_name);

/*
 * The current histogram of one (start, stop) pair: sends
 * "fetch_startstop_processdata" with "start_chan" and "stop_chan" and returns
 * its points as integer pairs tdiff0, counts0, tdiff1, counts1, ... (each
 * rounded to the nearest integer, halves away from zero; a non-finite point
 * gives 0, 0), with the number of points in *count (may be null; set to 0
 * first). Release the array with ci_free_int64_data. Null with 0 for an
 * unknown handle, an empty histogram, a JSON reply ("Fetch analysis process
 * data failed for start-stop analysis"), a payload that does not decode and a
 * failed exchange ("Fetch start-stop process data exception: ..."). Blocks
 * until the service answers.
 */
CI_API int64_t* ci_fetch_startstop_processdata(uint64_t handle, int start_chan, int stop_chan, int* count);

/* The same for the average histogram of a start channel:
 * "fetch_startstop_average_processdata" with "start_chan"; failures "Fetch
 * analysis average process data failed for start-stop analysis" and "Fetch
 * start-stop average process data exception: ...". */
CI_API int64_t* ci_fetch_startstop_average_processdata(uint64_t handle, int start_chan, int* count);

/*
 * Memory mode only (an analysis started without file name): takes the
 * dual-stop pairs of start_chan recorded so far and not yet taken, as integer
 * pairs x_stop_tdiff0, y_stop_tdiff0, ... (picoseconds, rounded) with the
 * number of pairs in *count (may be null; set to 0 first). Each pair is handed
 * out once. When none are waiting it waits up to timeout_ms milliseconds,
 * checking every 20 ms. Pairs recorded before the analysis ended stay
 * available until they are taken or the next analysis starts. Null with 0
 * for an unknown handle, in file mode, when nothing came in time, and when
 * the recording has ended and nothing is left. Release the array with
 * ci_free_int64_data. Sends nothing.
 */
CI_API int64_t* ci_fetch_startstop_dualstops_rawdata(uint64_t handle, int start_chan, int* count, int timeout_ms);

/* ------------------------------------------------------------------------ */
/* N-fold coincidence analysis                                               */
/* ------------------------------------------------------------------------ */

/* One coincidence strategy: its name (UTF-8; also part of the file names),
 * its chan_count channels and its virtual-twin count. The library only reads
 * the texts and arrays. */
typedef struct NCOINS_STRATEGY {
    const char* strategy_name;
    const int32_t* channels;
    int32_t chan_count;
    int32_t virtual_twin;
} NCOINS_STRATEGY;

/* One raw coincidence record as the service defines its five fields. 40
 * bytes in every build: reserved1 and reserved2 (always 0) keep each 64-bit
 * field 8-byte aligned. ci_fetch_ncoins_rawdata hands the records out as
 * five int64 values each (first, second, third, fourth, fifth). */
typedef struct NCOINS_DATA {
    int64_t first;
    int32_t second;
    int32_t reserved1;
    int64_t third;
    int32_t fourth;
    int32_t reserved2;
    int64_t fifth;
} NCOINS_DATA;

#if defined(__cplusplus)
static_assert(sizeof(NCOINS_STRATEGY) == 2 * sizeof(void*) + 8, "NCOINS_STRATEGY layout");
static_assert(offsetof(NCOINS_STRATEGY, chan_count) == 2 * sizeof(void*), "NCOINS_STRATEGY layout");
static_assert(sizeof(NCOINS_DATA) == 40, "NCOINS_DATA must be 40 bytes");
static_assert(offsetof(NCOINS_DATA, third) == 16 && offsetof(NCOINS_DATA, fifth) == 32, "NCOINS_DATA layout");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(NCOINS_STRATEGY) == 2 * sizeof(void*) + 8, "NCOINS_STRATEGY layout");
_Static_assert(offsetof(NCOINS_STRATEGY, chan_count) == 2 * sizeof(void*), "NCOINS_STRATEGY layout");
_Static_assert(sizeof(NCOINS_DATA) == 40, "NCOINS_DATA must be 40 bytes");
_Static_assert(offsetof(NCOINS_DATA, third) == 16 && offsetof(NCOINS_DATA, fifth) == 32, "NCOINS_DATA layout");
#endif

/*
 * Starts an n-fold coincidence analysis of duration seconds with the given
 * strategies: sends "ncoins_analysis" with "duration", "ncoins_strats" (array
 * of {"strategy_name", "channels", "virtual_twin"} in the given order),
 * "enable_raw_data" (integer; 1 asks the service to keep raw records),
 * "folder_path" and "file_name" (null texts sent as ""). The raw threads of
 * an earlier analysis of the session are stopped and joined first.
 * The analysis ends after duration + 2 s, once the service no longer reports
 * it processing ("is_ncoins_analysis_processing", polled every 20 ms for at
 * most (duration + 2) x 30 s), or earlier with ci_stop_ncoins_analysis: with
 * a file_name the library then saves each strategy's count-rate history
 * ("fetch_ncoins_cps" with its 0-based "strategy_index") into
 * <file_name>_<strategy name> (header "time(s), cps"; folder and names as for
 * ci_startstop_analysis) and sends "stop_ncoins_analysis". With a file_name
 * the service keeps the raw records in its own files.
 * strategy_count 0 with a non-null array sends an empty array.
 * Returns 0 when the analysis runs, the service's code of the start command,
 * or -1 with nothing sent: unknown handle, duration <= 0 (nothing logged),
 * strategies null or strategy_count < 0 ("Invalid ncoins strats specified"),
 * a strategy without name ("Invalid ncoins strategy: missing or invalid
 * strategy_name"), without channels ("Invalid ncoins strategy: channels cannot
 * null and chan_count must be great than 0") or with virtual_twin <= 0
 * ("Invalid ncoins strategy: virtual_twin must be greater than 0"); -1 also
 * when the exchange fails. Blocks until the service answers.
 */
CI_API int ci_ncoins_analysis(uint64_t handle, int duration, const NCOINS_STRATEGY* strategies, int strategy_count, uint8_t enable_raw_data, const char* folder_path, const char* file_name);

/*
 * ci_ncoins_analysis with the strategies as a JSON array text, sent as it is,
 * e.g. [{"strategy_name":"AB","channels":[1,2],"virtual_twin":1}]. Each
 * element needs a non-empty "strategy_name" string, a non-empty "channels"
 * array and a "virtual_twin" integer (not a floating value) from 1 to
 * 2147483647. -1 with nothing sent for an empty or null text ("Please
 * specify ncoins strats json"), malformed JSON ("Invalid JSON format:
 * <reason>"), a value that is not an array ("Invalid ncoins strats json:
 * expected array") and an element that breaks a rule ("Invalid ncoins
 * strategy json: missing or invalid strategy_name", "Invalid ncoins strategy:
 * channels cannot be null and must contain at least one channel", "Invalid
 * ncoins strategy: virtual_twin must be greater than 0"); otherwise as
 * ci_ncoins_analysis.
 */
CI_API int ci_ncoins_analysis_json(uint64_t handle, int duration, const char* ncoins_strats_json, uint8_t enable_raw_data, const char* folder_path, const char* file_name);

/*
 * Installs strategies on the service without starting an analysis: sends
 * "apply_ncoins_strategies" with "ncoins_strats" (as ci_ncoins_analysis;
 * empty names, empty channel lists and any virtual_twin are sent unchecked)
 * and returns its status code. -1 with nothing sent for strategies null or
 * strategy_count < 0 ("Invalid ncoins strats specified"), a null
 * strategy_name ("Invalid ncoins strategy: strategy_name is null"), channels
 * null with chan_count > 0 ("Invalid ncoins strategy: channels is null but
 * chan_count > 0") and an unknown handle. The file names of a running
 * analysis keep following its own strategies.
 */
CI_API int ci_apply_ncoins_strategies(uint64_t handle, const NCOINS_STRATEGY* strategies, int strategy_count);

/* The same with a JSON text sent unchanged as "ncoins_strats"; -1 with
 * nothing sent for an empty or null text ("Please specify ncoins strats
 * json") and malformed JSON ("Invalid JSON format: <reason>"). */
CI_API int ci_apply_ncoins_strategies_json(uint64_t handle, const char* ncoins_strats_json);

/* The current count rate (counts per second) of the strategy at the 0-based
 * strategy_index: "get_ncoins_cps" with "strategy_index". Returns the rate,
 * or -1 when there is none or the call fails (as ci_get_single_cps). */
CI_API int ci_get_ncoins_cps(uint64_t handle, int strategy_index);

/* The count-rate history of a strategy: "fetch_ncoins_cps" with
 * "strategy_index", as integer pairs time (s), cps (rounded as in
 * ci_fetch_startstop_processdata), count and release likewise. Failures:
 * "Fetch ncoins cps data failed" (JSON reply), "Fetch ncoins cps data
 * exception: ...". */
CI_API int64_t* ci_fetch_ncoins_cps(uint64_t handle, int strategy_index, int* count);

/*
 * Raw coincidence records of a strategy, for an analysis started with
 * enable_raw_data 1 and without file name: sends "fetch_ncoins_rawdata" with
 * "strategy_index", repeating every 10 ms while the service has none, for up
 * to timeout_ms milliseconds. Returns 5 int64 values per record (first,
 * second, third, fourth, fifth; the 32-bit fields sign-extended) with the
 * number of records in *count (may be null; set to 0 first); release with
 * ci_free_int64_data. Null with 0 at once for an unknown handle, raw records
 * not enabled at the latest start, or kept by the service in its files; null
 * when the time-out passes, for more than 429496729 records, and when a fetch
 * fails ("Fetch ncoins raw data failed for index: <index>" after the reason:
 * "Fetch ncoins raw data failed" for a JSON reply, "Fetch ncoins raw data
 * exception: ..."). Blocks on the connection.
 */
CI_API int64_t* ci_fetch_ncoins_rawdata(uint64_t handle, int strategy_index, int* count, int timeout_ms);

/* ------------------------------------------------------------------------ */
/* Period analysis and frequency stability                                   */
/* ------------------------------------------------------------------------ */

/*
 * Starts a period analysis of duration seconds: the service measures the
 * period of a periodic signal cycle by cycle, histograms the periods and
 * computes the Allan, modified Allan, time and Hadamard deviations over
 * decades x decade_points averaging times against the nominal frequency
 * fnom_hz. Sends "period_analysis" with "duration", "decades",
 * "decade_points", "average_num", "analysis_length" (integers), "fnom_hz"
 * (double), "sampling_interval" (integer, ms) and "sampling_num" (integer);
 * the other values are forwarded unchecked.
 * While it runs, a library thread fetches the per-cycle points (cycle index,
 * period in ps) every sampling_interval ms (below 1: every 10 ms) for up to
 * duration + 2 s. With a file_name (not null or empty) six CSV files are
 * created first, as for ci_tof_analysis: <file_name>_period ("cycle_index,
 * period(ps)", filled while the run goes on), _counts ("period(ps), counts"),
 * _adev ("tau(s), adev"), _mdev ("tau(s), mdev"), _tdev ("tau(s), tdev") and
 * _hdev ("tau(s), hdev"), the last five filled when the run ends; without a
 * file name the caller takes the points with ci_fetch_period_rawdata.
 * Returns 0, the service's status of the start, or -1 with nothing sent:
 * duration <= 0, an interval longer than the run ("Invalid sampling interval
 * specified"), an unknown handle, files that cannot be prepared ("Prepare
 * output file paths failed for period analysis"). The raw-data threads of an
 * earlier analysis are stopped and joined first.
 */
CI_API int ci_period_analysis(uint64_t handle, int duration, int decades, int decade_points, int average_num, int analysis_length, double fnom_hz, int sampling_interval, int sampling_num, const char* folder_path, const char* file_name);

/*
 * One stability curve of the period analysis: sends
 * "fetch_period_stability_metric" with "stability_metric_type" (0 Allan, 1
 * modified Allan, 2 time, 3 Hadamard deviation; other values are sent as they
 * are) and returns double pairs tau (s), deviation, as
 * ci_fetch_cross_correlation_data. Failures: "Fetch period stability metric
 * data failed" (JSON reply), "Fetch period stability metric data exception:
 * ...". Blocks on the connection.
 */
CI_API double* ci_fetch_period_stability_metric(uint64_t handle, int stability_metric_type, int* count);

/* ------------------------------------------------------------------------ */
/* Autocorrelation and time-tag records                                      */
/* ------------------------------------------------------------------------ */

/*
 * Starts an autocorrelation analysis of duration seconds: the g2 of the
 * events on channel ch over delays from min_tau to max_tau seconds in bin_num
 * bins; with enable_t2_data 1 the service also keeps T2 records of the
 * channel. Sends "autocorrelation_analysis" with "duration", "ch", "min_tau",
 * "max_tau" (doubles), "bin_num", "enable_t2_data", "folder_path" and
 * "file_name" ("" for null). With a file_name, creates the CSV file
 * <file_name> (as for ci_tof_analysis, no suffix) with the header line
 * "tdiff(s), auto_correlation(g2)" that receives the g2 curve when the run
 * ends, and the service writes the T2 records into its own file. Returns 0,
 * the service's status, or -1 with nothing sent: duration <= 0, ch < 0
 * ("Invalid channel specified"), min_tau >= max_tau ("Parameter<min_tau> must
 * be less than <max_tau>"), an unknown handle, a file that cannot be prepared
 * ("Prepare output file path failed for auto-correlation analysis").
 */
CI_API int ci_autocorrelation_analysis(uint64_t handle, int duration, int ch, double min_tau, double max_tau, int bin_num, uint8_t enable_t2_data, const char* folder_path, const char* file_name);

/* The current g2 curve: "fetch_autocorrelation_data", double pairs delay (s),
 * g2 as ci_fetch_cross_correlation_data. Failures: "Fetch auto-correlation
 * process data failed", "Fetch auto-correlation process data exception: ...". */
CI_API double* ci_fetch_autocorrelation_data(uint64_t handle, int* count);

/* One T2 time-tag record (fields as the service defines them). 16 bytes in
 * every build: reserved (always 0) keeps second 8-byte aligned. On the wire a
 * record is 12 packed little-endian bytes. */
typedef struct T2_DATA {
    int32_t first;
    int32_t reserved;
    int64_t second;
} T2_DATA;

/* One T3 time-tag record (fields as the service defines them); 16 bytes. */
typedef struct T3_DATA {
    uint32_t first;
    int32_t second;
    int32_t third;
    uint32_t fourth;
} T3_DATA;

/*
 * The record fetches. Each sends its fetch command ("fetch_t2_data",
 * "fetch_t3_data", "fetch_tot_data", "fetch_es_data"; no other key), repeating
 * every 20 ms while the service answers an empty batch, until records arrive
 * or more than timeout_ms milliseconds have passed. Returns the first
 * non-empty batch as 64-bit integers per record, with the number of records
 * in *count (may be null; set to 0 first); release with ci_free_int64_data.
 *   T2:  first (sign-extended), second: 2 values per record;
 *   T3:  first (zero-extended), second, third (sign-extended), fourth
 *        (zero-extended): 4 values per record;
 *   TOT, ES: first (sign-extended), second (zero-extended): 2 values.
 * Null with 0 at once, nothing sent, for an unknown handle and unless the
 * latest start of the matching analysis (autocorrelation for T2; time of
 * flight or start-stop for T3; time over threshold; energy spectrum) asked
 * for records with its flag 1 and without file name (with a file name the
 * service writes them into its own file). Null when the time-out passes, for
 * more than 0x3FFFFFFF (T2, TOT, ES) or 0x1FFFFFFF (T3) records, and when a
 * fetch fails: "Fetch T2 data failed" ("T3", "TOT", "ES") is logged for a
 * JSON reply, a malformed payload and after "Fetch T2 data exception: ...".
 * Blocks the calling thread up to the time-out plus one exchange.
 */
CI_API int64_t* ci_fetch_t2_data(uint64_t handle, int* count, int timeout_ms);
CI_API int64_t* ci_fetch_t3_data(uint64_t handle, int* count, int timeout_ms);

/* ------------------------------------------------------------------------ */
/* Time over threshold and energy spectra                                    */
/* ------------------------------------------------------------------------ */

/* One time-over-threshold or energy-spectrum record (fields as the service
 * defines them); 8 bytes, the wire layout. */
typedef struct TOT_DATA {
    int32_t first;
    uint32_t second;
} TOT_DATA;

typedef struct ES_DATA {
    int32_t first;
    uint32_t second;
} ES_DATA;

/*
 * Starts a time-over-threshold analysis of duration seconds on channel
 * (>= 0): the service histograms how long each pulse stays above the
 * threshold; with enable_tot_data 1 it keeps the records for
 * ci_fetch_tot_data. Sends "tot_analysis" with "duration", "ch",
 * "enable_tot_data", "folder_path" and "file_name" ("" for null). With a
 * file_name, creates <file_name> (as for ci_autocorrelation_analysis) with
 * the header "tot, counts" that receives the histogram at the end. Returns 0,
 * the service's status, or -1 with nothing sent: duration <= 0, channel < 0
 * ("Invalid channel specified"), an unknown handle, a file that cannot be
 * prepared ("Prepare output file path failed for TOT analysis").
 */
CI_API int ci_tot_analysis(uint64_t handle, int duration, int channel, int8_t enable_tot_data, const char* folder_path, const char* file_name);
CI_API int64_t* ci_fetch_tot_data(uint64_t handle, int* count, int timeout_ms);

/*
 * Starts an energy-spectrum analysis of duration seconds on an odd (A/D)
 * channel: the service integrates each pulse over ad_integration_point (> 0)
 * samples, scales it by area_scale (unchecked) and histograms the result;
 * with enable_es_data 1 it keeps the records for ci_fetch_es_data. Sends
 * "es_analysis" with "duration", "ch", "ad_integration_point", "area_scale",
 * "enable_es_data", "folder_path" and "file_name". With a file_name, creates
 * <file_name> with the header "adc, counts" that receives the spectrum at the
 * end. Returns 0, the service's status, or -1 with nothing sent: duration <=
 * 0, a negative or even channel ("Invalid A/D channel specified"),
 * ad_integration_point <= 0 ("Invalid A/D integration point value"), an
 * unknown handle, a file that cannot be prepared ("Prepare output file path
 * failed for ES analysis").
 */
CI_API int ci_es_analysis(uint64_t handle, int duration, int channel, int ad_integration_point, int area_scale, int8_t enable_es_data, const char* folder_path, const char* file_name);
CI_API int64_t* ci_fetch_es_data(uint64_t handle, int* count, int timeout_ms);

/* ------------------------------------------------------------------------ */
/* Coincidence-gated energy                                                  */
/* ------------------------------------------------------------------------ */

/*
 * Starts a coincidence-gated energy analysis of duration seconds on two
 * different odd channels: pulses of ch1 and ch2 within coins_time_window
 * whose energies lie inside their channel's energy window (energy_window_min1
 * to energy_window_max1 for ch1, ..._2 for ch2) are counted into a time-difference
 * histogram and one spectrum per channel (area 1 the lower channel, area 2
 * the higher). Sends "conform_es_analysis" with "duration", "ch1", "ch2",
 * "ad_integration_point", "area_scale", "coins_time_window", "avg_times",
 * "energy_window_min1", "energy_window_max1", "energy_window_min2",
 * "energy_window_max2" (integers, in this order). With a file_name, creates
 * <file_name> ("tdiff, counts"), <file_name>_ch<lower channel> and
 * <file_name>_ch<higher channel> (both "adc, counts"), filled when the run
 * ends. Returns 0, the service's status, or -1 with nothing sent: duration <=
 * 0, negative or equal channels ("Please specify two valid channels"), an
 * even channel ("Only support odd numbered channels"), ad_integration_point
 * <= 0 ("Invalid A/D integration point value"), coins_time_window <= 0
 * ("Invalid coins time window value"), a negative minimum or a minimum not
 * below its maximum ("Invalid energy window value"), an unknown handle, files
 * that cannot be prepared ("Create process data file path failed for
 * CONFORM_ES analysis", "Create area process data file paths failed for
 * CONFORM_ES analysis").
 */
CI_API int ci_conform_es_analysis(uint64_t handle, int duration, int ch1, int ch2, int ad_integration_point, int area_scale, int energy_window_min1, int energy_window_max1, int energy_window_min2, int energy_window_max2, int coins_time_window, int avg_times, const char* folder_path, const char* file_name);

/* The spectra of area 1 ("fetch_ces_area1_processdata") and area 2
 * ("fetch_ces_area2_processdata") as integer pairs adc, counts, as
 * ci_fetch_tof_processdata. */
CI_API int64_t* ci_fetch_conform_es_area1_processdata(uint64_t handle, int* count);
CI_API int64_t* ci_fetch_conform_es_area2_processdata(uint64_t handle, int* count);

/* ------------------------------------------------------------------------ */
/* A/D sampling                                                              */
/* ------------------------------------------------------------------------ */

/*
 * Starts an A/D analysis of duration seconds on an odd channel: the service
 * digitises the channel's waveform and a library thread fetches the samples
 * (sampling point, adc value) every sampling_interval_ms (below 1: every
 * 10 ms) for up to duration + 2 s. Sends "ad_analysis" with "duration", "ch",
 * "ad_integration_point" and "sampling_num" (integers, unchecked; the service
 * hands out at most sampling_num samples per fetch). With a file_name the
 * samples go to <file_name> (header "sampling_points, adc") as they arrive;
 * without one the caller takes them with ci_fetch_ad_rawdata. Returns 0, the
 * service's status, or -1 with nothing sent: duration <= 0, a negative or
 * even channel ("Invalid A/D channel specified"), an interval longer than the
 * run ("Invalid sampling interval specified"), an unknown handle, a file that
 * cannot be prepared ("Prepare output file path failed for A/D analysis").
 * The raw-data threads of an earlier analysis are stopped and joined first.
 */
CI_API int ci_ad_analysis(uint64_t handle, int duration, int channel, int ad_integration_point, int sampling_interval_ms, int sampling_num, const char* folder_path, const char* file_name);

#if defined(__cplusplus)
static_assert(sizeof(T2_DATA) == 16 && offsetof(T2_DATA, second) == 8, "T2_DATA layout");
static_assert(sizeof(T3_DATA) == 16 && offsetof(T3_DATA, fourth) == 12, "T3_DATA layout");
static_assert(sizeof(TOT_DATA) == 8 && sizeof(ES_DATA) == 8, "TOT_DATA and ES_DATA are 8 bytes");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(T2_DATA) == 16 && offsetof(T2_DATA, second) == 8, "T2_DATA layout");
_Static_assert(sizeof(T3_DATA) == 16 && offsetof(T3_DATA, fourth) == 12, "T3_DATA layout");
_Static_assert(sizeof(TOT_DATA) == 8 && sizeof(ES_DATA) == 8, "TOT_DATA and ES_DATA are 8 bytes");
#endif

#ifdef __cplusplus
}
#endif

#endif /* VELTRANOAPI_VELTRANOAPI_H */
