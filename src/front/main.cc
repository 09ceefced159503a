#include "front/driver.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  // With standard output closed, the history file would be opened in its place and receive
  // every message.
  keep_standard_streams_taken();
  const int status = run_converter(argc, argv);
  wait_for_key_before_own_console_closes();
  return status;
}
