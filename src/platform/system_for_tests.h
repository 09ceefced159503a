// Test support: which system the tests run on, from TAGPRESS_TESTS_ON_WINDOWS (set by the
// build), for the tests that cannot exist on every system. On Windows it also brings the few
// POSIX calls that tests for every system use.
#pragma once

#include <gtest/gtest.h>

#if TAGPRESS_TESTS_ON_WINDOWS
#include "platform/posix_calls_for_tests_win32.h"
#endif

// True where the tests run on Windows.
inline constexpr bool kTestsOnWindows = TAGPRESS_TESTS_ON_WINDOWS;

// Skips the rest of the calling test on Windows, saying why.
#define SKIP_ON_WINDOWS(reason) \
  if (kTestsOnWindows) GTEST_SKIP() << "not on Windows: " << reason
