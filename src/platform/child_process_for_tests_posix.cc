#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>

#include "platform/child_process_for_tests.h"

pid_t start_child(const std::string& dir, const std::vector<std::string>& words, int out_fd,
                  const std::optional<std::string>& tz, int err_fd) {
  std::vector<std::string> argv_words = words;
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(120);
    if (out_fd >= 0) {
      dup2(out_fd, 1);
    } else {
      close(1);
    }
    if (err_fd >= 0) dup2(err_fd, 2);
    if (tz) {
      setenv("TZ", tz->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    std::vector<char*> argv;
    for (auto& word : argv_words) argv.push_back(word.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(121);
  }
  return pid;
}

int wait_for_child(pid_t child, long* peak_rss_kib) {
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  if (peak_rss_kib != nullptr) *peak_rss_kib = usage.ru_maxrss;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

TerminalRun run_child_on_terminal(const std::string& dir, const std::vector<std::string>& words) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  EXPECT_GE(master, 0);
  EXPECT_EQ(grantpt(master), 0);
  EXPECT_EQ(unlockpt(master), 0);
  const int slave = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  EXPECT_GE(slave, 0);
  termios mode;
  tcgetattr(slave, &mode);
  cfmakeraw(&mode);
  tcsetattr(slave, TCSANOW, &mode);
  const pid_t pid = start_child(dir, words, slave, "UTC", -1);
  close(slave);
  std::string shown;
  char chunk[4096];
  for (;;) {
    const ssize_t n = read(master, chunk, sizeof chunk);
    if (n <= 0) break;  // EIO once the child has closed the terminal
    shown.append(chunk, static_cast<size_t>(n));
  }
  const int status = wait_for_child(pid, nullptr);
  close(master);
  return {status, shown};
}

int open_output(const std::string& path) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

bool make_pipe(int descriptors[2]) {
  return pipe2(descriptors, O_CLOEXEC) == 0;
}

std::string make_temp_folder(const std::string& prefix) {
  std::string pattern = "/tmp/" + prefix + "XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return "";
  return pattern;
}
