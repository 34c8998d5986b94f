// The subcommands of ezgitar-cli. Each takes its parsed command line and
// returns the process exit status.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ezg::cli {

using Args = std::vector<std::string>;

// Exit statuses shared by all subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitWarnings = 1;
inline constexpr int kExitFailure = 2;

// Standard output's reader went away: the run ends as if by SIGPIPE, as a
// pipeline expects.
[[noreturn]] void endLikeBrokenPipe();

// A subcommand's command line, checked already.
struct CommandLine {
  Args inputs;
  unsigned jobs = 0;  // 0: one per core
  bool quiet = false;
  std::optional<std::string> output;     // -o: a folder for the outputs
  std::optional<char> decimalSeparator;  // report only
  std::optional<std::string> soundFont;  // render and play
  // split only: the unit silenced alternately, how many a group, the speed.
  std::string splitBy = "packet";
  std::int64_t every = 1;
  int tempoPercent = 0;  // 0: as written
};

// runSplit in split.cpp; runReport and runTest, which share the reading of
// inputs, in report.cpp; runRender and runPlay in listen.cpp.
int runSplit(const CommandLine& line);
int runReport(const CommandLine& line);
int runTest(const CommandLine& line);
int runRender(const CommandLine& line);
int runPlay(const CommandLine& line);

}  // namespace ezg::cli
