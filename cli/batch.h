// Running one subcommand over many files: inputs and folders, parallel
// jobs, output in input order, and a progress bar on a terminal.
#pragma once

#include <string>

#include "cli/commands.h"
#include "cli/plan.h"
#include "cli/spool.h"

namespace ezg::cli {

using Work = std::function<void(const std::string& file, FileReport& report)>;

// Runs `work` for each input, folders standing for their "*.mid" files in
// byte order, and prints each file's lines in input order. Before anything
// runs: a folder without such a file is a warning; an input named again, or
// written by another input in this run, is skipped with a quiet line; an
// input whose output is the input itself, or that writes what an earlier
// input writes, is refused. Returns 2 when any file failed or was refused,
// or stdout/stderr could not be written, else 1 when any warned, else 0.
int runBatch(const CommandLine& line, const OutputsOf& outputsOf, const Work& work);

}  // namespace ezg::cli
