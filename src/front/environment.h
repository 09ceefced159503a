// The settings a run takes from its environment, read once at its start.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// What the environment sets.
struct RunEnvironment {
  int threads = 1;                         // threads that convert a data file
  size_t block_bytes = 0;                  // bytes read per block; 0: chosen by the run
  std::optional<std::string> tz;           // TZ, none when unset
  std::optional<std::string> zone_folder;  // TZDIR, none when unset
};

// The thread count for the TAGPRESS_THREADS value `text` (none: unset): the number it holds when
// it is one from 1 to 256 and nothing follows it, else `cpus` (the CPUs the process may run
// on) kept within 1 to 16.
int threads_from(const std::optional<std::string>& text, int cpus);

// The block size for the TAGPRESS_BLOCK_BYTES value `text` (none: unset): the number it starts
// with when that is from 1 to 64 MiB, else 0 (the run chooses).
size_t block_bytes_from(const std::optional<std::string>& text);

// Reads TAGPRESS_THREADS, TAGPRESS_BLOCK_BYTES, TZ and TZDIR.
RunEnvironment read_environment();
