// What one file's work prints: its lines, held back while other files print
// before it, and how the work ended.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "files/failure.h"
#include "files/sink.h"

namespace ezg::cli {

enum class Outcome { Done, Warned, Failed };

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
  // Prints what is held, and from here on prints at once.
  void goDirect() {
    copyOut();
    direct_ = true;
    beforeFirst_ = nullptr;
  }
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

class FileReport;

// Two outputs a file's work wrote, left for the batch to put in place
// together with other files' outputs, after one sync for them all.
struct PendingPair {
  std::unique_ptr<OutputFile> first, second;
  std::uint64_t bytes = 0;                        // written, for the size of a group
  std::function<void(Status, FileReport&)> then;  // tells how the replacement went
  std::optional<Status> outcome;                  // once put in place ahead of its turn
};

// What one file's work prints, a line at a time, and how it ended.
class FileReport {
 public:
  FileReport(Spool out, Spool err, bool quiet, bool mayRunAgain = false, bool mayCommitLater = false)
      : out_(std::move(out)),
        err_(std::move(err)),
        quiet_(quiet),
        mayRunAgain_(mayRunAgain),
        mayCommitLater_(mayCommitLater) {}
  void result(std::string_view line) { out_.write(shownLine(line)); }  // stdout, even with --quiet
  void info(std::string_view line) {                                   // stdout, unless --quiet
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
  void goDirect() {
    out_.goDirect();
    err_.goDirect();
  }
  // In a batch, the work leaves its outputs to be put in place later.
  bool mayCommitLater() const { return mayCommitLater_; }
  void commitLater(PendingPair pair) { pending_ = std::move(pair); }
  std::optional<PendingPair>& pending() { return pending_; }
  int lostErrno() const { return out_.lostErrno() ? out_.lostErrno() : err_.lostErrno(); }
  Outcome outcome = Outcome::Done;

 private:
  Spool out_, err_;
  bool quiet_;
  bool mayRunAgain_;
  bool mayCommitLater_;
  bool runAgain_ = false;
  std::optional<PendingPair> pending_;
};

// Prints one line as shownLine() gives it.
void printLine(std::FILE* to, std::string_view line);

}  // namespace ezg::cli
