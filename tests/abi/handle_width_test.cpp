// The session handle crosses the C interface as a full 64-bit integer in both
// builds: a handle that differs from a live one only in its upper 32 bits must
// reach no session. A build that passed or stored handles in 32 bits would
// find the live session instead. Runs against the simulator, through the
// shared library.
#include "support/sim_session.h"
// The struct layouts as the C++ compiler of this build sees them; the C side
// is checked by all_exports.c.
#include "abi/struct_layout_checks.h"

#include <veltranoapi/veltranoapi.h>

#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr uint64_t kUpperHalfBit = uint64_t{1} << 32;

class HandleWidth : public veltest::SimSessionTest {};

TEST_F(HandleWidth, HandleWithExtraUpperBitsReachesNoSession) {
    ASSERT_GT(ci_get_device_num(handle), 0);
    EXPECT_EQ(ci_get_device_num(handle | kUpperHalfBit), -1);
    EXPECT_EQ(ci_get_device_num(handle + (uint64_t{0xFFFFFFFF} << 32)), -1);
    int dead_time = -7;
    EXPECT_EQ(ci_get_dead_time(handle | kUpperHalfBit, 1, &dead_time), -1);
    EXPECT_EQ(dead_time, -7);
}

TEST_F(HandleWidth, DestroyWithExtraUpperBitsLeavesTheSessionOpen) {
    ci_destroy(handle | kUpperHalfBit);
    EXPECT_GT(ci_get_device_num(handle), 0);
}

}  // namespace
