// Preloaded into ezgitar-cli by the durability tests: a disk whose syncs
// take EZG_TEST_SYNC_MS each, so a signal can be sent while a pair is being
// replaced, or fail with EZG_TEST_SYNC_ERRNO; and, with EZG_TEST_BARE_FS
// set, a file system without unnamed temporary files, so the named ones
// are tried too.
#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>

namespace {

template <class F>
F real(const char* name) {
  return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

// False, with errno set, for a sync that fails.
bool slowDown() {
  static const long ms = [] {
    const char* v = std::getenv("EZG_TEST_SYNC_MS");
    return v ? std::atol(v) : 0L;
  }();
  if (ms > 0) {
    timespec t{ms / 1000, (ms % 1000) * 1'000'000};
    while (::nanosleep(&t, &t) != 0 && errno == EINTR) {}
  }
  if (const char* err = std::getenv("EZG_TEST_SYNC_ERRNO")) {
    errno = std::atoi(err);
    return false;
  }
  return true;
}

}  // namespace

extern "C" {

int fsync(int fd) { return slowDown() ? real<int (*)(int)>("fsync")(fd) : -1; }

int syncfs(int fd) { return slowDown() ? real<int (*)(int)>("syncfs")(fd) : -1; }

int openat(int dirfd, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, mode_t) : 0;
  va_end(args);
  if ((flags & O_TMPFILE) == O_TMPFILE && std::getenv("EZG_TEST_BARE_FS")) {
    errno = EOPNOTSUPP;
    return -1;
  }
  return real<int (*)(int, const char*, int, ...)>("openat")(dirfd, path, flags, mode);
}
}
