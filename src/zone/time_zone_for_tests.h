// Test support: runs a piece of a test in another time zone.
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

#include "convert/system_time_zone.h"
#include "platform/system_for_tests.h"
#include "zone/time_zone.h"

// Sets TZ to `tz` (nullptr: unset) for the C library while it lives; restores TZ afterwards.
struct ScopedTimeZone {
  explicit ScopedTimeZone(const char* tz) {
    if (const char* old = getenv("TZ")) saved = old;
    if (tz != nullptr) {
      setenv("TZ", tz, 1);
    } else {
      unsetenv("TZ");
    }
    zone = load_system_time_zone();
  }
  ~ScopedTimeZone() {
    if (saved) {
      setenv("TZ", saved->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  std::optional<std::string> saved;
  TimeZone zone;  // A zone for `tz`, fresh caches.
};
