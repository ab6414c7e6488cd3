#pragma once
// Skips the current test in the Windows build with the reason printed: for
// tests of what only POSIX systems have (/proc, fork, rlimits, POSIX path
// text). Does nothing elsewhere.

#include <gtest/gtest.h>

#if defined(_WIN32)
#define VELTRANO_SKIP_ON_WINDOWS(reason) GTEST_SKIP() << "not on Windows: " << (reason)
#else
#define VELTRANO_SKIP_ON_WINDOWS(reason) static_cast<void>(0)
#endif
