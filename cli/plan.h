// Planning a batch: the inputs, folders standing for their "*.mid" files,
// and which of them run, before anything is written.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/spool.h"

namespace ezg::cli {

// The files a command will write for one input, so that clashes are found
// before anything is written.
using OutputsOf = std::function<std::vector<std::filesystem::path>(const std::string& file)>;

// One input, and whether it runs: an input that is skipped gets one line
// instead, on stdout when there is simply nothing to do, on stderr when it
// is refused or warned about.
struct Job {
  std::string input;
  std::string skipped;
  Outcome outcome = Outcome::Done;
};

// Folders stand for their "*.mid" files in byte order; anything else is
// taken as a file name as it is. A folder without one is said so on stderr
// and counts as a warning.
Args expandInputs(const Args& inputs, bool& warned);

// Before anything runs: a file named just ".mid" is warned about; an input
// named again, or written by another input in this run, is skipped with a
// quiet line; an input whose output is the input itself, or that writes
// what an earlier input writes, is refused.
std::vector<Job> planJobs(const Args& inputs, const OutputsOf& outputsOf);

// A missing or unreadable -o folder is said once, before any input, rather
// than by every input.
bool outputFolderUsable(const std::filesystem::path& path);

}  // namespace ezg::cli
