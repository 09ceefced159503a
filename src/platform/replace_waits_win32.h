// How commit_replacement on Windows waits out a history file that another program holds for a
// moment, and the calls it makes to rename and remove files: the system's by default, others
// in the tests, which also shorten the waits.
#pragma once

#include <windows.h>

#include "platform/platform.h"

struct ReplaceWaits {
  DWORD first_ms = 10;            // the first wait after a refusal; each next one doubles
  DWORD longest_ms = 100;         // the longest single wait
  DWORD total_ms = 10'000;        // how long a rename waits in all before it gives up
  DWORD remove_total_ms = 1'000;  // how long removing the temporary file waits in all
  BOOL(WINAPI* move)(LPCWSTR from, LPCWSTR to, DWORD flags) = MoveFileExW;
  BOOL(WINAPI* remove)(LPCWSTR path) = DeleteFileW;
  void(WINAPI* sleep)(DWORD ms) = Sleep;
  int (*stopped)() = stop_signal_number;  // nonzero once a stop signal has arrived
};

// Replaces how replacements wait and rename from now on (ReplaceWaits{} restores the default).
void set_replace_waits(const ReplaceWaits& waits);
