// Timestamps of the history file: 100 ns ticks since 1601-01-01 00:00 UTC.
#pragma once

#include <chrono>
#include <cstdint>

using Ticks = uint64_t;

constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kTicksPerMillisecond = 10'000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;

// Milliseconds since 1970-01-01 UTC of 1601-01-01 00:00 UTC, the first instant ticks can hold.
constexpr int64_t kFirstTicksMillisecond = -kSecondsFrom1601To1970 * 1000;

// The ticks of an instant in milliseconds since 1970-01-01 UTC, not before
// kFirstTicksMillisecond.
constexpr Ticks ticks_from_milliseconds(int64_t milliseconds) {
  return static_cast<Ticks>(milliseconds - kFirstTicksMillisecond) * kTicksPerMillisecond;
}

// Days from 1970-01-01 to a valid date of the proleptic Gregorian calendar
// (years -32767 to 32767).
constexpr int64_t days_from_civil(int year, unsigned month, unsigned day) {
  const std::chrono::year_month_day date{std::chrono::year{year}, std::chrono::month{month},
                                         std::chrono::day{day}};
  return std::chrono::sys_days{date}.time_since_epoch().count();
}

static_assert(days_from_civil(1601, 1, 1) * 86400 == -kSecondsFrom1601To1970);

struct CivilTime {
  int64_t year;
  int month, day, hour, minute, second;
};

// The calendar date and time of a count of seconds since 1970-01-01 00:00
// (years -32767 to 32767).
constexpr CivilTime civil_from_seconds(int64_t seconds) {
  const std::chrono::sys_seconds instant{std::chrono::seconds{seconds}};
  const std::chrono::sys_days day = std::chrono::floor<std::chrono::days>(instant);
  const std::chrono::year_month_day date{day};
  const std::chrono::hh_mm_ss time{instant - day};
  return CivilTime{static_cast<int>(date.year()),
                   static_cast<int>(static_cast<unsigned>(date.month())),
                   static_cast<int>(static_cast<unsigned>(date.day())),
                   static_cast<int>(time.hours().count()),
                   static_cast<int>(time.minutes().count()),
                   static_cast<int>(time.seconds().count())};
}
