// Runs a command line through the shell and collects what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdio>

#include "tests/support/temp_dir.h"

namespace ezg::testing {

struct CommandResult {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out, err;
};

// Single-quotes a word for /bin/sh.
inline std::string shellQuote(const std::string& word) {
  std::string q = "'";
  for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// `command` is passed to /bin/sh as is; quote arguments yourself.
inline CommandResult runCommand(const std::string& command) {
  TempDir dir;
  CommandResult r;
  std::FILE* pipe = ::popen((command + " 2>" + shellQuote((dir / "stderr").string())).c_str(), "r");
  if (!pipe) return r;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) r.out.append(chunk, n);
  const int raw = ::pclose(pipe);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.err = dir.read("stderr");
  return r;
}

}  // namespace ezg::testing
