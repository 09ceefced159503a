// Test support: a library preloaded into tagpress (LD_PRELOAD) that makes one
// call of the C library fail, to check that every failure of the operating
// system ends in a sound state.
//
// TAGPRESS_FAIL="NAME:N:ERRNO" makes the Nth call (from 1) of NAME fail with
// ERRNO (a number). Calls on the standard descriptors 0-2 are not counted, so
// that the messages always get out. TAGPRESS_FAIL_COUNTS=PATH writes, at exit,
// one line "NAME COUNT" per function, so a test knows how many calls to fail.
// TAGPRESS_TRACE=PATH appends to PATH one line "NAME" per call counted, in the
// order made, so a test can check the order of the calls that replace a file.
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

enum Call {
  kOpen,
  kRead,
  kWrite,
  kClose,
  kRename,
  kMkostemp,
  kFstat,
  kThread,
  kFdatasync,
  kFsync,
  kSyncFileRange,
  kCalls
};
constexpr const char* kNames[kCalls] = {"open",      "read",     "write",          "close",
                                        "rename",    "mkostemp", "fstat",          "pthread_create",
                                        "fdatasync", "fsync",    "sync_file_range"};

std::atomic<long> counts[kCalls];

struct Plan {
  int call = -1;
  long nth = 0;
  int error = 0;
};

const Plan& plan() {
  static const Plan parsed = [] {
    Plan p;
    const char* text = getenv("TAGPRESS_FAIL");
    if (text == nullptr) return p;
    char name[32] = {};
    if (sscanf(text, "%31[^:]:%ld:%d", name, &p.nth, &p.error) != 3) return p;
    for (int i = 0; i < kCalls; ++i) {
      if (strcmp(name, kNames[i]) == 0) p.call = i;
    }
    return p;
  }();
  return parsed;
}

template <typename F>
F next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// Appends the name of `call` to the trace file, when there is one.
void trace(Call call) {
  static const int fd = [] {
    const char* path = getenv("TAGPRESS_TRACE");
    if (path == nullptr) return -1;
    return next<int (*)(const char*, int, ...)>("open")(path, O_WRONLY | O_CREAT | O_APPEND, 0644);
  }();
  if (fd < 0) return;
  char line[32];
  const int length = snprintf(line, sizeof line, "%s\n", kNames[call]);
  next<ssize_t (*)(int, const void*, size_t)>("write")(fd, line, static_cast<size_t>(length));
}

// Counts a call of `call`; true when this one is to fail (errno is then set).
bool fails(Call call) {
  trace(call);
  const long n = ++counts[call];
  const Plan& p = plan();
  if (p.call != call || p.nth != n) return false;
  errno = p.error;
  return true;
}

struct CountWriter {
  ~CountWriter() {
    const char* path = getenv("TAGPRESS_FAIL_COUNTS");
    if (path == nullptr) return;
    FILE* out = fopen(path, "w");
    if (out == nullptr) return;
    for (int i = 0; i < kCalls; ++i) fprintf(out, "%s %ld\n", kNames[i], counts[i].load());
    fclose(out);
  }
} count_writer;

int open_with(const char* name, const char* path, int flags, mode_t mode) {
  if (fails(kOpen)) return -1;
  return next<int (*)(const char*, int, ...)>(name)(path, flags, mode);
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, mode_t) : 0;
  va_end(args);
  return open_with("open", path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, mode_t) : 0;
  va_end(args);
  return open_with("open64", path, flags, mode);
}

ssize_t read(int fd, void* data, size_t size) {
  if (fd > 2 && fails(kRead)) return -1;
  return next<ssize_t (*)(int, void*, size_t)>("read")(fd, data, size);
}

ssize_t write(int fd, const void* data, size_t size) {
  if (fd > 2 && fails(kWrite)) return -1;
  return next<ssize_t (*)(int, const void*, size_t)>("write")(fd, data, size);
}

int close(int fd) {
  if (fd > 2 && fails(kClose)) {
    // The descriptor is gone whatever close reports, as on Linux.
    next<int (*)(int)>("close")(fd);
    errno = plan().error;
    return -1;
  }
  return next<int (*)(int)>("close")(fd);
}

int rename(const char* from, const char* to) {
  if (fails(kRename)) return -1;
  return next<int (*)(const char*, const char*)>("rename")(from, to);
}

int mkostemp(char* name, int flags) {
  if (fails(kMkostemp)) return -1;
  return next<int (*)(char*, int)>("mkostemp")(name, flags);
}

int fstat(int fd, struct stat* info) {
  if (fd > 2 && fails(kFstat)) return -1;
  return next<int (*)(int, struct stat*)>("fstat")(fd, info);
}

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*),
                   void* argument) {
  if (fails(kThread)) return plan().error;
  return next<int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*)>(
      "pthread_create")(thread, attributes, start, argument);
}

int fdatasync(int fd) {
  if (fails(kFdatasync)) return -1;
  return next<int (*)(int)>("fdatasync")(fd);
}

int fsync(int fd) {
  if (fails(kFsync)) return -1;
  return next<int (*)(int)>("fsync")(fd);
}

int sync_file_range(int fd, off64_t offset, off64_t size, unsigned int flags) {
  if (fails(kSyncFileRange)) return -1;
  return next<int (*)(int, off64_t, off64_t, unsigned int)>("sync_file_range")(fd, offset, size,
                                                                               flags);
}

}  // extern "C"
