#include "front/driver.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  // With standard output closed, the history file would be opened in its place and receive
  // every message.
  keep_standard_streams_taken();
  return run_converter(argc, argv);
}
