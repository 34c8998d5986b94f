#include "tests/support/run_command.h"

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "tests/support/temp_dir.h"

namespace ezg::testing {

CommandResult runCommand(const std::string& command) {
  TempDir dir;
  const auto errPath = (dir / "stderr").string();
  CommandResult r;
  std::FILE* pipe = ::popen((command + " 2>" + shellQuote(errPath)).c_str(), "r");
  if (!pipe) return r;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) r.out.append(chunk, n);
  int raw = ::pclose(pipe);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.err = dir.read("stderr");
  return r;
}

std::string shellQuote(const std::string& word) {
  std::string q = "'";
  for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

}  // namespace ezg::testing
