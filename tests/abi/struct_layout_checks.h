/*
 * The sizes and field offsets of every public struct, written out as numbers
 * for each ABI. The library is compiled as C++ and its callers often as C: a
 * C file and a C++ file of the test suite both include this, so both
 * compilers must agree with the numbers, in the 64-bit build (x86-64 System V)
 * and in the 32-bit one (i386 System V, where int64_t and double are only
 * 4-byte aligned inside structs and pointers are 4 bytes).
 */
#ifndef VELTRANO_TESTS_ABI_STRUCT_LAYOUT_CHECKS_H
#define VELTRANO_TESTS_ABI_STRUCT_LAYOUT_CHECKS_H

#include <veltranoapi/veltranoapi.h>

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define VEL_LAYOUT_ASSERT(condition, text) static_assert(condition, text)
#else
#define VEL_LAYOUT_ASSERT(condition, text) _Static_assert(condition, text)
#endif

#if UINTPTR_MAX > 0xFFFFFFFFu
#define VEL_EXPECTED_POINTER_BYTES 8
#define VEL_EXPECTED_CHAN_GROUP_SIZE 24
#define VEL_EXPECTED_CHAN_GROUP_STOP_CHANS 8
#define VEL_EXPECTED_CHAN_GROUP_CHAN_COUNT 16
#define VEL_EXPECTED_NCOINS_STRATEGY_SIZE 24
#define VEL_EXPECTED_NCOINS_STRATEGY_CHANNELS 8
#define VEL_EXPECTED_NCOINS_STRATEGY_CHAN_COUNT 16
#define VEL_EXPECTED_NCOINS_STRATEGY_VIRTUAL_TWIN 20
#else
#define VEL_EXPECTED_POINTER_BYTES 4
#define VEL_EXPECTED_CHAN_GROUP_SIZE 12
#define VEL_EXPECTED_CHAN_GROUP_STOP_CHANS 4
#define VEL_EXPECTED_CHAN_GROUP_CHAN_COUNT 8
#define VEL_EXPECTED_NCOINS_STRATEGY_SIZE 16
#define VEL_EXPECTED_NCOINS_STRATEGY_CHANNELS 4
#define VEL_EXPECTED_NCOINS_STRATEGY_CHAN_COUNT 8
#define VEL_EXPECTED_NCOINS_STRATEGY_VIRTUAL_TWIN 12
#endif

VEL_LAYOUT_ASSERT(sizeof(void*) == VEL_EXPECTED_POINTER_BYTES, "pointer size of this build");
/* The handle is 64 bits wide in both builds. */
VEL_LAYOUT_ASSERT(sizeof(uint64_t) == 8, "handle width");

VEL_LAYOUT_ASSERT(sizeof(DEVICE_INFO) == 260, "DEVICE_INFO size");
VEL_LAYOUT_ASSERT(offsetof(DEVICE_INFO, device_type) == 0, "DEVICE_INFO.device_type");
VEL_LAYOUT_ASSERT(offsetof(DEVICE_INFO, device_name) == 4, "DEVICE_INFO.device_name");

VEL_LAYOUT_ASSERT(sizeof(DEVICE_STATUS) == 36, "DEVICE_STATUS size");
VEL_LAYOUT_ASSERT(offsetof(DEVICE_STATUS, temperature) == 0, "DEVICE_STATUS.temperature");
VEL_LAYOUT_ASSERT(offsetof(DEVICE_STATUS, current1) == 4, "DEVICE_STATUS.current1");
VEL_LAYOUT_ASSERT(offsetof(DEVICE_STATUS, current2) == 8, "DEVICE_STATUS.current2");
VEL_LAYOUT_ASSERT(offsetof(DEVICE_STATUS, current3) == 12, "DEVICE_STATUS.current3");
VEL_LAYOUT_ASSERT(offsetof(DEVICE_STATUS, current4) == 16, "DEVICE_STATUS.current4");
VEL_LAYOUT_ASSERT(offsetof(DEVICE_STATUS, current5) == 20, "DEVICE_STATUS.current5");
VEL_LAYOUT_ASSERT(offsetof(DEVICE_STATUS, current6) == 24, "DEVICE_STATUS.current6");
VEL_LAYOUT_ASSERT(offsetof(DEVICE_STATUS, current7) == 28, "DEVICE_STATUS.current7");
VEL_LAYOUT_ASSERT(offsetof(DEVICE_STATUS, current8) == 32, "DEVICE_STATUS.current8");

VEL_LAYOUT_ASSERT(sizeof(CHAN_GROUP) == VEL_EXPECTED_CHAN_GROUP_SIZE, "CHAN_GROUP size");
VEL_LAYOUT_ASSERT(offsetof(CHAN_GROUP, start_chan) == 0, "CHAN_GROUP.start_chan");
VEL_LAYOUT_ASSERT(offsetof(CHAN_GROUP, stop_chans) == VEL_EXPECTED_CHAN_GROUP_STOP_CHANS, "CHAN_GROUP.stop_chans");
VEL_LAYOUT_ASSERT(offsetof(CHAN_GROUP, chan_count) == VEL_EXPECTED_CHAN_GROUP_CHAN_COUNT, "CHAN_GROUP.chan_count");

VEL_LAYOUT_ASSERT(sizeof(DUAL_STOPS_GROUP) == 12, "DUAL_STOPS_GROUP size");
VEL_LAYOUT_ASSERT(offsetof(DUAL_STOPS_GROUP, start_chan) == 0, "DUAL_STOPS_GROUP.start_chan");
VEL_LAYOUT_ASSERT(offsetof(DUAL_STOPS_GROUP, x_stop_chan) == 4, "DUAL_STOPS_GROUP.x_stop_chan");
VEL_LAYOUT_ASSERT(offsetof(DUAL_STOPS_GROUP, y_stop_chan) == 8, "DUAL_STOPS_GROUP.y_stop_chan");

VEL_LAYOUT_ASSERT(sizeof(NCOINS_STRATEGY) == VEL_EXPECTED_NCOINS_STRATEGY_SIZE, "NCOINS_STRATEGY size");
VEL_LAYOUT_ASSERT(offsetof(NCOINS_STRATEGY, strategy_name) == 0, "NCOINS_STRATEGY.strategy_name");
VEL_LAYOUT_ASSERT(offsetof(NCOINS_STRATEGY, channels) == VEL_EXPECTED_NCOINS_STRATEGY_CHANNELS, "NCOINS_STRATEGY.channels");
VEL_LAYOUT_ASSERT(offsetof(NCOINS_STRATEGY, chan_count) == VEL_EXPECTED_NCOINS_STRATEGY_CHAN_COUNT, "NCOINS_STRATEGY.chan_count");
VEL_LAYOUT_ASSERT(offsetof(NCOINS_STRATEGY, virtual_twin) == VEL_EXPECTED_NCOINS_STRATEGY_VIRTUAL_TWIN, "NCOINS_STRATEGY.virtual_twin");

/* The record types have the same layout in both builds: explicit reserved
 * fields keep every 64-bit member on an 8-byte offset even where the ABI
 * would align it to 4. */
VEL_LAYOUT_ASSERT(sizeof(NCOINS_DATA) == 40, "NCOINS_DATA size");
VEL_LAYOUT_ASSERT(offsetof(NCOINS_DATA, first) == 0, "NCOINS_DATA.first");
VEL_LAYOUT_ASSERT(offsetof(NCOINS_DATA, second) == 8, "NCOINS_DATA.second");
VEL_LAYOUT_ASSERT(offsetof(NCOINS_DATA, reserved1) == 12, "NCOINS_DATA.reserved1");
VEL_LAYOUT_ASSERT(offsetof(NCOINS_DATA, third) == 16, "NCOINS_DATA.third");
VEL_LAYOUT_ASSERT(offsetof(NCOINS_DATA, fourth) == 24, "NCOINS_DATA.fourth");
VEL_LAYOUT_ASSERT(offsetof(NCOINS_DATA, reserved2) == 28, "NCOINS_DATA.reserved2");
VEL_LAYOUT_ASSERT(offsetof(NCOINS_DATA, fifth) == 32, "NCOINS_DATA.fifth");

VEL_LAYOUT_ASSERT(sizeof(T2_DATA) == 16, "T2_DATA size");
VEL_LAYOUT_ASSERT(offsetof(T2_DATA, first) == 0, "T2_DATA.first");
VEL_LAYOUT_ASSERT(offsetof(T2_DATA, reserved) == 4, "T2_DATA.reserved");
VEL_LAYOUT_ASSERT(offsetof(T2_DATA, second) == 8, "T2_DATA.second");

VEL_LAYOUT_ASSERT(sizeof(T3_DATA) == 16, "T3_DATA size");
VEL_LAYOUT_ASSERT(offsetof(T3_DATA, first) == 0, "T3_DATA.first");
VEL_LAYOUT_ASSERT(offsetof(T3_DATA, second) == 4, "T3_DATA.second");
VEL_LAYOUT_ASSERT(offsetof(T3_DATA, third) == 8, "T3_DATA.third");
VEL_LAYOUT_ASSERT(offsetof(T3_DATA, fourth) == 12, "T3_DATA.fourth");

VEL_LAYOUT_ASSERT(sizeof(TOT_DATA) == 8, "TOT_DATA size");
VEL_LAYOUT_ASSERT(offsetof(TOT_DATA, first) == 0, "TOT_DATA.first");
VEL_LAYOUT_ASSERT(offsetof(TOT_DATA, second) == 4, "TOT_DATA.second");

VEL_LAYOUT_ASSERT(sizeof(ES_DATA) == 8, "ES_DATA size");
VEL_LAYOUT_ASSERT(offsetof(ES_DATA, first) == 0, "ES_DATA.first");
VEL_LAYOUT_ASSERT(offsetof(ES_DATA, second) == 4, "ES_DATA.second");

#endif /* VELTRANO_TESTS_ABI_STRUCT_LAYOUT_CHECKS_H */
