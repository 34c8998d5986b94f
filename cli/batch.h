// Running one subcommand over many files: inputs and folders, parallel
// jobs, output in input order, and a progress bar on a terminal.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"

namespace ezg::cli {

enum class Outcome { Done, Warned, Failed };

struct BatchOptions {
  unsigned jobs = 0;  // 0: one per core
  bool quiet = false;
};

// Text bound for one stream. Printed at once when it is its file's turn;
// otherwise held in memory up to a bound, then in an unnamed temporary
// file, and copied out when that file's turn comes.
class Spool {
 public:
  Spool(std::FILE* to, std::function<void()> beforeDirect);  // direct
  explicit Spool(std::FILE* to);                             // held
  void write(std::string_view text);
  void copyOut();

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::FILE* to_;
  std::function<void()> beforeDirect_;
  bool direct_;
  std::string held_;
  std::unique_ptr<std::FILE, Closer> spill_;
};

// What one file's work prints, and how it ended.
class FileReport {
 public:
  FileReport(Spool out, Spool err, bool quiet) : out_(std::move(out)), err_(std::move(err)), quiet_(quiet) {}
  void result(std::string_view text) { out_.write(text); }  // stdout, even with --quiet
  void info(std::string_view text) {                        // stdout, unless --quiet
    if (!quiet_) out_.write(text);
  }
  void error(std::string_view text) { err_.write(text); }  // stderr
  void copyOut() {
    out_.copyOut();
    err_.copyOut();
  }
  Outcome outcome = Outcome::Done;

 private:
  Spool out_, err_;
  bool quiet_;
};

using Work = std::function<void(const std::string& file, FileReport& report)>;
// The files a command will write for one input, so that clashes are found
// before anything is written.
using OutputsOf = std::function<std::vector<std::filesystem::path>(const std::string& file)>;

// Folders stand for their "*.mid" files in byte order; anything else is
// taken as a file name as it is. A folder without one is said so on stderr.
Args expandInputs(const Args& inputs);

// Refuses, one line each, inputs that would write what an earlier input
// writes or that another input writes, then runs `work` for the rest and
// prints each file's lines in input order. Returns 2 when any file failed or
// was refused, or stdout/stderr could not be written, else 1 when any
// warned, else 0. No input at all is a failure too.
int runBatch(const Args& inputs, const BatchOptions& options, const OutputsOf& outputsOf, const Work& work);

// "song.mid" -> "song"; a name without ".mid" is kept whole.
std::string baseNameOf(const std::string& input);

}  // namespace ezg::cli
