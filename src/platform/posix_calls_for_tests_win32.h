// Test support on Windows: the POSIX calls that tests for every system use, on Win32.
#pragma once

#include <stdlib.h>
#include <windows.h>

#include "platform/win32_text.h"

// Sets the environment variable `name` to `value` (for this process and the programs it starts).
inline int setenv(const char* name, const char* value, int overwrite) {
  if (overwrite == 0 && GetEnvironmentVariableW(wide_text(name).c_str(), nullptr, 0) != 0) return 0;
  return SetEnvironmentVariableW(wide_text(name).c_str(), wide_text(value).c_str()) ? 0 : -1;
}

// Removes the environment variable `name`.
inline int unsetenv(const char* name) {
  SetEnvironmentVariableW(wide_text(name).c_str(), nullptr);
  return 0;
}
