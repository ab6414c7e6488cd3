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

#ifdef __cplusplus
}
#endif

#endif /* VELTRANOAPI_VELTRANOAPI_H */
