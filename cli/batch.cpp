#include "cli/batch.h"

#include <algorithm>
#include <cerrno>
#include <thread>

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

// Each file's lines in input order: a job's held lines, or the file run
// here, printing as it goes. Stops at the first failure of a standard
// stream.
Tally printInOrder(const std::vector<Job>& jobs, JobPool& pool, const RunOne& runOne, bool quiet) {
  const std::size_t count = jobs.size();
  ProgressBar bar(count, !quiet && count > 1 && progressCanShow());
  auto clear = [&bar] { bar.clear(); };
  Tally tally;
  for (std::size_t i = 0; i < count; ++i) {
    std::unique_ptr<FileReport> r = pool.collect(i, clear);
    if (r) {
      bar.clear();
      r->copyOut();
    } else {
      r = std::make_unique<FileReport>(Spool::direct(stdout, clear), Spool::direct(stderr, clear), quiet);
      runOne(i, *r);
      bar.clear();
    }
    if (const int lost = r->lostErrno()) {
      printLine(stderr,
                fmt::format("ezgitar-cli: {}: {}\n", jobs[i].input,
                            trf("lines held back could not be read back: {}", describe(Failure::fromErrno(lost)))));
      tally.failed = true;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) tally.outErrno = errno ? errno : EIO;
    if (std::fflush(stderr) != 0 || std::ferror(stderr)) tally.errFailed = true;
    tally.failed |= r->outcome == Outcome::Failed;
    tally.warned |= r->outcome == Outcome::Warned;
    r.reset();
    pool.printed(i);
    if (tally.outErrno || tally.errFailed) break;
    bar.show(i + 1);
  }
  bar.clear();
  return tally;
}

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
  JobPool pool(jobs.size(), std::min<std::size_t>(line.jobs ? line.jobs : cores, jobs.size()), line.quiet, runOne);
  // Many pairs into one folder cost one sync of it.
  if (jobs.size() > 1) deferFolderSyncs();
  Tally tally = printInOrder(jobs, pool, runOne, line.quiet);
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
