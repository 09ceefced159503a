#include "common/interrupt.h"

#include <signal.h>

#include <initializer_list>

volatile std::sig_atomic_t g_stop_signal = 0;

namespace {

void record_signal(int signal_number) {
  if (g_stop_signal == 0) g_stop_signal = signal_number;
}

}  // namespace

void install_stop_handlers() {
  struct sigaction action = {};
  action.sa_handler = record_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal_number, &action, nullptr);
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
  // Beyond the file-size limit a write then fails like any other, instead of
  // the signal ending the process without a word.
  sigaction(SIGXFSZ, &ignore, nullptr);
}
