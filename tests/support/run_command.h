// Runs a command line through the shell and collects what it printed.
#pragma once

#include <string>

namespace ezg::testing {

struct CommandResult {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};

// `command` is passed to /bin/sh as is; quote arguments yourself.
CommandResult runCommand(const std::string& command);

// Single-quotes a word for /bin/sh.
std::string shellQuote(const std::string& word);

}  // namespace ezg::testing
