// The subcommands of ezgitar-cli. Each takes the arguments after its name
// and returns the process exit status.
#pragma once

#include <string>
#include <vector>

namespace ezg::cli {

using Args = std::vector<std::string>;

struct Command {
  const char* name;  // its help text is in help.cpp
  int (*run)(const Args& args);
};

// Exit statuses shared by all subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitWarnings = 1;
inline constexpr int kExitFailure = 2;

// Defined one per file: split.cpp, report.cpp.
int runSplit(const Args& args);
int runReport(const Args& args);
int runTest(const Args& args);

}  // namespace ezg::cli
