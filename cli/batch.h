// Running one subcommand over many files: inputs and folders, parallel
// jobs, output in input order, and a progress bar on a terminal.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "files/failure.h"

namespace ezg::cli {

enum class Outcome { Done, Warned, Failed };

struct BatchOptions {
  unsigned jobs = 0;  // 0: one per core
  bool quiet = false;
  std::optional<std::filesystem::path> outputFolder;  // -o: checked once, before any input
};

// Text bound for one stream. Printed at once when it is its file's turn;
// otherwise held: in memory up to a bound, past it in an unnamed temporary
// file. Where the temporary file takes no more (none to be had, a full or
// read-only /tmp), the text stays in memory and the job waits for its
// file's turn, then prints what it holds and goes on directly. Nothing is
// dropped unless the run is ending for another failure.
class Spool {
 public:
  // Prints at once; `beforeFirst` runs before the first text.
  static Spool direct(std::FILE* to, std::function<void()> beforeFirst);
  // Holds the text; `awaitTurn` blocks until its file may print, and says
  // false when the run ends first.
  static Spool held(std::FILE* to, std::function<bool()> awaitTurn);
  void write(std::string_view text);
  // Prints what is held.
  void copyOut();
  bool printedDirectly() const { return direct_; }
  // 0, or why held text could not be read back from its temporary file.
  int lostErrno() const { return lostErrno_; }

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  Spool(std::FILE* to, bool direct) : to_(to), direct_(direct) {}
  std::size_t spill(std::string_view text);

  std::FILE* to_;
  bool direct_;
  std::function<void()> beforeFirst_;
  std::function<bool()> awaitTurn_;
  std::string held_;
  std::unique_ptr<std::FILE, Closer> spill_;
  std::uint64_t spilled_ = 0;
  bool spillBroken_ = false;
  int lostErrno_ = 0;
};

// One line as it is printed: the names in it cannot forge another line or
// send the terminal escape sequences.
std::string shownLine(std::string_view line);

// What one file's work prints, a line at a time, and how it ended.
class FileReport {
 public:
  FileReport(Spool out, Spool err, bool quiet, bool mayRunAgain = false)
      : out_(std::move(out)), err_(std::move(err)), quiet_(quiet), mayRunAgain_(mayRunAgain) {}
  void result(std::string_view line) { out_.write(shownLine(line)); }  // stdout, even with --quiet
  void info(std::string_view line) {                                  // stdout, unless --quiet
    if (!quiet_) out_.write(shownLine(line));
  }
  void error(std::string_view line) { err_.write(shownLine(line)); }  // stderr
  // The work failed for `why`, told in `text` on stderr. Beside other jobs,
  // a failure for want of open files is not told: the file is run again
  // alone.
  void fail(const Failure& why, std::string_view text);
  bool runAgain() const { return runAgain_; }
  void copyOut() {
    out_.copyOut();
    err_.copyOut();
  }
  int lostErrno() const { return out_.lostErrno() ? out_.lostErrno() : err_.lostErrno(); }
  Outcome outcome = Outcome::Done;

 private:
  Spool out_, err_;
  bool quiet_;
  bool mayRunAgain_;
  bool runAgain_ = false;
};

using Work = std::function<void(const std::string& file, FileReport& report)>;
// The files a command will write for one input, so that clashes are found
// before anything is written.
using OutputsOf = std::function<std::vector<std::filesystem::path>(const std::string& file)>;

// Runs `work` for each input, folders standing for their "*.mid" files in
// byte order, and prints each file's lines in input order. Before anything
// runs: a folder without such a file is a warning; an input named again, or
// written by another input in this run, is skipped with a quiet line; an
// input whose output is the input itself, or that writes what an earlier
// input writes, is refused. Returns 2 when any file failed or was refused,
// or stdout/stderr could not be written, else 1 when any warned, else 0.
int runBatch(const Args& inputs, const BatchOptions& options, const OutputsOf& outputsOf, const Work& work);

}  // namespace ezg::cli
