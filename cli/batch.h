// Running one subcommand over many files: inputs and folders, parallel
// jobs, output in input order, and a progress bar on a terminal.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"

namespace ezg::cli {

enum class Outcome { Done, Warned, Failed };

// What one file's work produced; printed in input order, whatever the job
// that made it.
struct FileOutcome {
  std::string out;  // for stdout
  std::string err;  // for stderr: errors and warnings, always printed
  bool outIsResult = false;  // --quiet drops `out` unless it is the result itself
  Outcome outcome = Outcome::Done;
};

struct BatchOptions {
  unsigned jobs = 0;  // 0: one per core
  bool quiet = false;
};

// The parsed command line of a subcommand.
struct ParsedArgs {
  std::map<std::string, std::string> values;  // value options given, by their long or short name
  Args inputs;
  BatchOptions batch;
  bool help = false;
  std::string error;  // a usage mistake, in plain words; empty when fine
};

// Understands -h/--help, -q/--quiet, -j/--jobs N, `--`, and the value
// options named in `valueOptions` (as "-o" or "--decimal-separator", with the
// value next or after '=').
ParsedArgs parseArgs(const Args& args, const std::vector<std::string_view>& valueOptions);

// Parses a subcommand's command line into `p`. Returns the exit status when
// the command ends here: 0 after --help, 2 after a one-line usage error.
std::optional<int> parseCommandLine(const char* command, const Args& args,
                                    const std::vector<std::string_view>& valueOptions, ParsedArgs& p);

// The value of an option given under any of its names.
std::optional<std::string> optionValue(const ParsedArgs& p, std::string_view name,
                                       std::string_view otherName = {});

// Folders stand for their "*.mid" files in byte order; anything else is
// taken as a file name as it is.
Args expandInputs(const Args& inputs);

// Runs `work` for every file and prints each outcome in input order.
// Returns 2 when any file failed, else 1 when any warned, else 0.
int runBatch(const Args& files, const BatchOptions& options,
             const std::function<FileOutcome(const std::string& file)>& work);

// Formats like printf into a string.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// "song.mid" -> "song"; a name without ".mid" is kept whole.
std::string baseNameOf(const std::string& input);

}  // namespace ezg::cli
