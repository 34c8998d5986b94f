#include "cli/batch.h"

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "cli/console.h"
#include "cli/failure_text.h"
#include "cli/job_pool.h"
#include "cli/language.h"
#include "files/safe_write.h"
#include "files/utf8_path.h"

namespace ezg::cli {
namespace {

class ProgressBar {
 public:
  ProgressBar(std::size_t total, bool enabled) : total_(total), enabled_(enabled) {}
  void clear() {
    if (enabled_ && shown_) std::fputs("\r\033[K", stderr);
    shown_ = false;
  }
  void show(std::size_t done) {
    if (!enabled_) return;
    constexpr std::size_t kWidth = 30;
    const std::size_t filled = total_ ? done * kWidth / total_ : kWidth;
    std::fputs(fmt::format("\r[{}{}] {}/{}", std::string(filled, '#'), std::string(kWidth - filled, ' '), done, total_)
                   .c_str(),
               stderr);
    std::fflush(stderr);
    shown_ = true;
  }

 private:
  std::size_t total_;
  bool enabled_;
  bool shown_ = false;
};

// How the printed files ended, and whether standard output or error failed.
struct Tally {
  bool failed = false, warned = false;
  int outErrno = 0;  // why standard output failed
  bool errFailed = false;
};

// Files collected but not printed while their outputs wait: put in place
// together after one sync, up to this many files or bytes written.
constexpr std::size_t kGroupFiles = 32;
constexpr std::uint64_t kGroupBytes = std::uint64_t{32} << 20;

// Each file's lines in input order: a job's held lines, or the file run
// here. Outputs left to be put in place later wait in a group, with the
// files after them. Stops at the first failure of a standard stream.
class Printer {
 public:
  Printer(const std::vector<Job>& jobs, JobPool& pool, bool quiet)
      : jobs_(jobs), pool_(pool), quiet_(quiet), bar_(jobs.size(), !quiet && jobs.size() > 1 && progressCanShow()) {}

  Tally run(const RunOne& runOne, bool commitLater) {
    for (std::size_t i = 0; i < jobs_.size() && !stopped_; ++i) {
      std::unique_ptr<FileReport> r = pool_.collect(i, [this] {
        flushGroup();
        bar_.clear();
      });
      if (!r && commitLater && !pool_.alone()) {
        // One job: the file runs here, its lines held while its outputs wait.
        auto turn = [this] {
          flushGroup();
          return true;
        };
        r = std::make_unique<FileReport>(Spool::held(stdout, turn), Spool::held(stderr, turn), quiet_, true, true);
        runOne(i, *r);
        // Out of open files beside the group: from here on each file is
        // put in place at once.
        if (r->runAgain()) {
          r.reset();
          commitLater = false;
        }
      }
      if (!r) {
        flushGroup();
        // Files done ahead hold their outputs open: put in place now, so
        // that this one has the descriptors it ran out of.
        if (pool_.alone()) {
          std::vector<PendingPair*> ahead;
          pool_.eachDone([&](FileReport& done) {
            if (auto& p = done.pending()) ahead.push_back(&*p);
          });
          putInPlace(ahead);
        }
        auto clear = [this] { bar_.clear(); };
        r = std::make_unique<FileReport>(Spool::direct(stdout, clear), Spool::direct(stderr, clear), quiet_);
        runOne(i, *r);
      }
      hold(i, std::move(r));
      pool_.printed(i);
    }
    flushGroup();
    bar_.clear();
    return tally_;
  }

 private:
  void hold(std::size_t i, std::unique_ptr<FileReport> r) {
    if (!r->pending() && group_.empty()) return print(i, *r);
    if (r->pending()) groupBytes_ += r->pending()->bytes;
    group_.emplace_back(i, std::move(r));
    if (group_.size() >= kGroupFiles || groupBytes_ >= kGroupBytes) flushGroup();
  }

  // The pairs not yet in place, synced at once.
  static void finishPending(const std::vector<PendingPair*>& pairs) {
    std::vector<OutputFile*> outputs;
    for (const PendingPair* p : pairs)
      if (!p->outcome) outputs.insert(outputs.end(), {p->first.get(), p->second.get()});
    finishTogether(outputs);
  }

  // Pairs synced at once, then put in place, their descriptors let go;
  // what each file says of it waits for the file's turn.
  static void putInPlace(const std::vector<PendingPair*>& pairs) {
    finishPending(pairs);
    for (PendingPair* p : pairs) {
      if (p->outcome) continue;
      p->outcome = commitBoth(*p->first, *p->second);
      p->first.reset();
      p->second.reset();
    }
  }

  // The group's outputs synced at once, then put in place and printed file
  // by file. Once printing fails, the rest are dropped, and their outputs
  // with them.
  void flushGroup() {
    std::vector<PendingPair*> pairs;
    for (auto& [i, r] : group_)
      if (auto& p = r->pending()) pairs.push_back(&*p);
    finishPending(pairs);
    for (auto& [i, r] : group_) {
      if (stopped_) break;
      bar_.clear();
      r->goDirect();
      if (auto& p = r->pending()) p->then(p->outcome ? *p->outcome : commitBoth(*p->first, *p->second), *r);
      print(i, *r);
    }
    group_.clear();
    groupBytes_ = 0;
  }

  void print(std::size_t i, FileReport& r) {
    bar_.clear();
    r.copyOut();
    if (const int lost = r.lostErrno()) {
      printLine(stderr,
                fmt::format("ezgitar-cli: {}: {}\n", jobs_[i].input,
                            trf("lines held back could not be read back: {}", describe(Failure::fromErrno(lost)))));
      tally_.failed = true;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) tally_.outErrno = errno ? errno : EIO;
    if (std::fflush(stderr) != 0 || std::ferror(stderr)) tally_.errFailed = true;
    tally_.failed |= r.outcome == Outcome::Failed;
    tally_.warned |= r.outcome == Outcome::Warned;
    stopped_ = tally_.outErrno || tally_.errFailed;
    if (!stopped_) bar_.show(i + 1);
  }

  const std::vector<Job>& jobs_;
  JobPool& pool_;
  const bool quiet_;
  ProgressBar bar_;
  Tally tally_;
  bool stopped_ = false;
  std::vector<std::pair<std::size_t, std::unique_ptr<FileReport>>> group_;
  std::uint64_t groupBytes_ = 0;
};

// The exit status; a reader of standard output that went away ends the run
// as the signal would, once the jobs have finished what they are writing.
int exitStatus(const Tally& tally, JobPool& pool) {
  if (tally.outErrno == EPIPE) {
    pool.stop();
    static_cast<void>(syncDeferredFolders());
    endLikeBrokenPipe();
  }
  if (tally.outErrno) {
    printLine(stderr, fmt::format("ezgitar-cli: {}\n", trf("cannot write standard output: {}",
                                                           describe(Failure::fromErrno(tally.outErrno)))));
    return kExitFailure;
  }
  if (tally.errFailed || std::fflush(stderr) != 0) return kExitFailure;
  return tally.failed ? kExitFailure : tally.warned ? kExitWarnings : kExitOk;
}

}  // namespace

int runBatch(const CommandLine& line, const OutputsOf& outputsOf, const Work& work) {
  if (line.output && !outputFolderUsable(pathOf(*line.output))) return kExitFailure;
  bool warned = false;
  const std::vector<Job> jobs = planJobs(expandInputs(line.inputs, warned), outputsOf);
  // No output may write into another input through a link.
  for (const Job& job : jobs)
    if (job.skipped.empty()) keepFromLinks(pathOf(job.input));
  auto runOne = [&](std::size_t i, FileReport& report) {
    const Job& job = jobs[i];
    if (job.skipped.empty()) return work(job.input, report);
    if (job.outcome == Outcome::Done)
      report.info(job.skipped);
    else
      report.error(job.skipped);
    report.outcome = job.outcome;
  };
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  // Many pairs cost one sync of their data per group, and one of their
  // folder.
  const bool batch = jobs.size() > 1;
  if (batch) deferFolderSyncs();
  JobPool pool(jobs.size(), std::min<std::size_t>(line.jobs ? line.jobs : cores, jobs.size()), line.quiet, batch,
               runOne);
  Tally tally = Printer(jobs, pool, line.quiet).run(runOne, batch);
  pool.stop();
  if (Status failed = syncDeferredFolders()) {
    printLine(stderr, fmt::format("ezgitar-cli: {}\n",
                                  trf("the names written may not last a power cut: {}", describe(*failed))));
    tally.failed = true;
  }
  tally.failed |= line.inputs.empty();
  tally.warned |= warned;
  return exitStatus(tally, pool);
}

}  // namespace ezg::cli
