// peak_memory FILE PROGRAM ARGS...: runs PROGRAM and writes its peak
// resident memory in KiB to FILE; exits as PROGRAM did. The program is
// started from this small process, so the figure is the program's own and
// not that of whatever started this one.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) return 126;
  const pid_t child = ::fork();
  if (child == 0) {
    ::execv(argv[2], argv + 2);
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return 126;
  std::FILE* out = std::fopen(argv[1], "w");
  if (!out) return 126;
  std::fprintf(out, "%ld\n", usage.ru_maxrss);
  if (std::fclose(out) != 0) return 126;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
