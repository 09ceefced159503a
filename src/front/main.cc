#include <fcntl.h>
#include <unistd.h>

#include "front/driver.h"

int main(int argc, char** argv) {
  // With standard output closed, the history file would be opened as descriptor 1 and receive
  // every message; keep the three standard descriptors taken.
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) == -1) {
      const int null_fd = open("/dev/null", O_RDWR);
      if (null_fd >= 0 && null_fd != fd) close(null_fd);
    }
  }
  return run_converter(argc, argv);
}
