// Test support on Windows: a child in a console window of its own, and Ctrl-C typed there.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Starts `words` as start_child does under TZ=UTC, in a new console of its own that its
// standard streams write to (under wine a console event reaches no child whose streams are
// redirected).
pid_t start_child_in_console(const std::string& dir, const std::vector<std::string>& words);

// Sends Ctrl-C to the console of a child started by start_child_in_console; false when the
// child still runs and the system would not.
bool interrupt_child_console(pid_t child);
