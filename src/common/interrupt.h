// Stopping a run cleanly on SIGINT, SIGTERM and SIGHUP.
#pragma once

#include <csignal>

// The number of the first stop signal received, 0 while none has arrived.
extern volatile std::sig_atomic_t g_stop_signal;

// Installs handlers that only record the signal, so that the run can stop at a
// record boundary. Also ignores SIGPIPE, so a closed standard output cannot
// end the process, and SIGXFSZ, so a write beyond the file-size limit fails
// and is reported.
void install_stop_handlers();
