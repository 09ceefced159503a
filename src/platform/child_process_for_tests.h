// Test support: the end-to-end tests' way to start the built programs and to give them files
// for their output, the part of those tests that differs between systems: fork, exec and a
// pseudo-terminal on POSIX, CreateProcessW and C runtime descriptors on Windows. Descriptors
// are those of the C library (open, read, close) on both.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

// Starts `words` (the program, then its arguments) in the folder `dir` with TZ set to `tz`
// (unset when none), standard output on the descriptor `out_fd` (-1: closed) and standard error
// on `err_fd` (-1: this process's own); standard input is this process's on POSIX and the null
// device on Windows. Returns the child's process id (on Windows its process handle).
pid_t start_child(const std::string& dir, const std::vector<std::string>& words, int out_fd,
                  const std::optional<std::string>& tz, int err_fd);

// Waits for a started child; its exit status, or 1000 + the signal that killed it. With
// `peak_rss_kib`, also the child's peak resident size in KiB.
int wait_for_child(pid_t child, long* peak_rss_kib);

// What a child showed on a terminal, and its exit status.
struct TerminalRun {
  int status;
  std::string shown;
};

// Runs `words` in `dir` under TZ=UTC with standard output on a new terminal in raw mode (LF
// stays LF) and returns everything shown there. POSIX only; elsewhere a test failure.
TerminalRun run_child_on_terminal(const std::string& dir, const std::vector<std::string>& words);

// A descriptor for writing `path` afresh (created or emptied), which children do not inherit
// unless given it; the null device for "/dev/null" on every system. -1 on failure.
int open_output(const std::string& path);

// A pipe whose two descriptors (read end first) children do not inherit unless given them.
bool make_pipe(int descriptors[2]);

// A new empty folder in the system's folder for temporary files, named `prefix` and six random
// characters.
std::string make_temp_folder(const std::string& prefix);
