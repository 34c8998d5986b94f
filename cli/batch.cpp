#include "cli/batch.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include <fmt/format.h>

#include "cli/console.h"
#include "cli/failure_text.h"
#include "cli/language.h"
#include "files/folder.h"
#include "files/midi_names.h"
#include "files/safe_write.h"
#include "files/utf8_path.h"

namespace fs = std::filesystem;

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

void putLine(std::FILE* to, std::string_view line) {
  const std::string shown = shownLine(line);
  std::fwrite(shown.data(), 1, shown.size(), to);
}

// Errors stay on the stream, for the caller to check once per file.
void put(std::FILE* to, std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), to);
}

// Folders stand for their "*.mid" files in byte order; anything else is
// taken as a file name as it is. A folder without one is said so on
// stderr and counts as a warning.
Args expandInputs(const Args& inputs, bool& warned) {
  Args files;
  for (const std::string& input : inputs) {
    std::vector<std::string> names;
    if (listPlainFiles(input, names)) {
      files.push_back(input);
      continue;
    }
    const std::vector<std::string> sorted = sortedMidiNames(std::move(names));
    if (sorted.empty()) {
      putLine(stderr, fmt::format("ezgitar-cli: {}: {}\n", input, tr("no .mid file in this folder")));
      warned = true;
    }
    for (const std::string& name : sorted) files.push_back(utf8Of(pathOf(input) / pathOf(name)));
  }
  return files;
}

// One input, and whether it runs: an input that is skipped gets one line
// instead, on stdout when there is simply nothing to do, on stderr when it
// is refused or warned about.
struct Job {
  std::string input;
  std::string skipped;
  Outcome outcome = Outcome::Done;
};

// Every output is named before anything runs, so that what is written does
// not hang on which job gets there first. An input that another input's
// output names (an old copy) is skipped; one that an output reaches only
// through a link is not: that output is refused when it is written.
std::vector<Job> planJobs(const Args& inputs, const OutputsOf& outputsOf) {
  std::vector<fs::path> keys, nameKeys;
  std::vector<std::vector<std::pair<fs::path, fs::path>>> outputs(inputs.size());  // key, as named
  std::map<fs::path, std::size_t> anyWriter;  // output's name -> the first input writing it
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    keys.push_back(sameFileKey(pathOf(inputs[i])));
    nameKeys.push_back(sameNameKey(pathOf(inputs[i])));
    for (const fs::path& o : outputsOf(inputs[i])) {
      outputs[i].emplace_back(sameFileKey(o), o);
      anyWriter.emplace(sameNameKey(o), i);
    }
  }
  std::vector<Job> jobs;
  std::map<fs::path, std::size_t> named, writer;  // input -> its first naming; output -> the input writing it
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    Job& job = jobs.emplace_back(Job{inputs[i], {}, Outcome::Done});
    auto skip = [&](Outcome outcome, const std::string& why) {
      const std::string line = fmt::format("{}: {}\n", inputs[i], trf("skipped: {}", why));
      job.skipped = outcome == Outcome::Done ? line : "ezgitar-cli: " + line;
      job.outcome = outcome;
    };
    const auto [first, fresh] = named.emplace(keys[i], i);
    const auto& mine = outputs[i];
    const auto self = std::find_if(mine.begin(), mine.end(), [&](const auto& o) { return o.first == keys[i]; });
    const auto byOther = anyWriter.find(nameKeys[i]);
    const auto clash = std::find_if(mine.begin(), mine.end(), [&](const auto& o) { return writer.contains(o.first); });
    // The window takes a file named just ".mid" for no selection.
    if (const std::string leaf = utf8Of(pathOf(inputs[i]).filename()); leaf.size() == 4 && baseNameOf(leaf).empty())
      skip(Outcome::Warned, tr("no name before .mid"));
    else if (const std::string& earlier = inputs[first->second]; !fresh)
      skip(Outcome::Done, earlier == inputs[i] ? std::string(tr("named twice")) : trf("the same file as {}", earlier));
    else if (self != mine.end())
      skip(Outcome::Failed, trf("the output {} is this input file itself; nothing is written for it",
                                 utf8Of(self->second)));
    else if (byOther != anyWriter.end())
      skip(Outcome::Done, trf("{} writes it in this run", inputs[byOther->second]));
    else if (clash != mine.end())
      skip(Outcome::Failed,
           trf("{} writes {} too", inputs[writer[clash->first]], utf8Of(clash->first.filename())));
    else
      for (const auto& o : mine) writer.emplace(o.first, i);
  }
  return jobs;
}

// Lines of files not yet printed wait in memory up to this much a stream,
// then in a temporary file.
constexpr std::size_t kHeldBound = std::size_t{128} << 10;
// Files run ahead of the one being printed, per job: with two streams each,
// held lines take at most 1 MiB of memory per job.
constexpr std::size_t kFilesAheadPerJob = 4;

}  // namespace

std::string shownLine(std::string_view line) {
  const bool ended = line.ends_with('\n');
  if (ended) line.remove_suffix(1);
  return printable(line) + (ended ? "\n" : "");
}

Spool Spool::direct(std::FILE* to, std::function<void()> beforeFirst) {
  Spool s(to, true);
  s.beforeFirst_ = std::move(beforeFirst);
  return s;
}

Spool Spool::held(std::FILE* to, std::function<bool()> awaitTurn) {
  Spool s(to, false);
  s.awaitTurn_ = std::move(awaitTurn);
  return s;
}

// Plain write(2): what did not reach the file is known to the byte, and
// stays in memory.
std::size_t Spool::spill(std::string_view text) {
  if (spillBroken_ || text.empty()) return 0;
  if (!spill_) spill_.reset(std::tmpfile());
  if (!spill_) {
    spillBroken_ = true;
    return 0;
  }
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(::fileno(spill_.get()), text.data() + done, text.size() - done);
    if (n > 0) done += static_cast<std::size_t>(n);
    else if (n < 0 && errno == EINTR) continue;
    else {
      spillBroken_ = true;
      break;
    }
  }
  spilled_ += done;
  return done;
}

void Spool::write(std::string_view text) {
  if (!direct_ && held_.size() + text.size() > kHeldBound) {
    held_.erase(0, spill(held_));
    // A text past the bound on its own follows what is held into the spill.
    if (held_.empty() && text.size() > kHeldBound) text.remove_prefix(spill(text));
    if (held_.size() + text.size() > kHeldBound) {
      if (!awaitTurn_()) return;  // the run is ending
      copyOut();
      direct_ = true;
    }
  }
  if (direct_) {
    if (beforeFirst_) std::exchange(beforeFirst_, nullptr)();
    put(to_, text);
    return;
  }
  if (held_.capacity() < kHeldBound) held_.reserve(kHeldBound);
  held_ += text;
}

void Spool::copyOut() {
  if (direct_) return;
  if (spill_) {
    char chunk[1 << 16];
    std::FILE* from = spill_.get();
    // Written past the stream's buffer, read back through it from the start.
    if (std::fseek(from, 0, SEEK_SET) != 0) lostErrno_ = errno ? errno : EIO;
    for (std::uint64_t at = 0; !lostErrno_ && at < spilled_;) {
      const std::size_t n = std::fread(chunk, 1, std::min<std::uint64_t>(sizeof chunk, spilled_ - at), from);
      if (n == 0) {
        lostErrno_ = std::ferror(from) && errno ? errno : EIO;
        break;
      }
      put(to_, {chunk, n});
      at += n;
    }
    spill_.reset();
    spilled_ = 0;
  }
  put(to_, held_);
  std::string().swap(held_);
}

void FileReport::fail(const Failure& why, std::string_view text) {
  outcome = Outcome::Failed;
  const bool outOfFiles = why.sysError == EMFILE || why.sysError == ENFILE;
  if (outOfFiles && mayRunAgain_ && !out_.printedDirectly() && !err_.printedDirectly()) runAgain_ = true;
  else error(text);
}

namespace {

// A missing or unreadable -o folder is said once, before any input, rather
// than by every input.
bool outputFolderUsable(const fs::path& path) {
  const std::string folder = utf8Of(path);
  const Status failed = checkFolder(folder);
  if (!failed) return true;
  putLine(stderr, fmt::format("ezgitar-cli: {}: {}\n", folder,
                              failed->sysError == ENOENT ? std::string(tr("no such folder")) : describe(*failed)));
  return false;
}

using RunOne = std::function<void(std::size_t file, FileReport& report)>;

// The jobs that run files ahead of the one being printed, holding their
// lines until it is their file's turn. With fewer than two jobs, or none
// to be had, every file runs on the printing thread.
class JobPool {
 public:
  JobPool(std::size_t count, std::size_t jobs, bool quiet, RunOne runOne)
      : count_(count),
        ahead_(kFilesAheadPerJob * jobs),
        quiet_(quiet),
        runOne_(std::move(runOne)),
        state_(count, State::Running),
        held_(count) {
    if (jobs < 2) return;
    for (std::size_t j = 0; j < jobs; ++j) {
      try {
        pool_.emplace_back([this] { work(); });
      } catch (const std::system_error&) {
        break;  // fewer jobs, then
      }
    }
  }
  JobPool(const JobPool&) = delete;
  JobPool& operator=(const JobPool&) = delete;
  ~JobPool() { stop(); }

  // File i's report once a job has done it, or null when the file is to run
  // on the calling thread: no job took it, or it ran out of open files
  // beside the others. `beforeTurn` runs before a job waiting for its turn
  // prints directly.
  std::unique_ptr<FileReport> collect(std::size_t i, const std::function<void()>& beforeTurn) {
    if (pool_.empty()) return nullptr;
    std::unique_lock lock(mutex_);
    if (alone_ && i >= next_) return nullptr;
    toPrinter_.wait(lock, [&] { return state_[i] != State::Running; });
    if (state_[i] == State::WantsTurn) {
      lock.unlock();
      beforeTurn();
      lock.lock();
      turn_ = i;
      toJobs_.notify_all();
      toPrinter_.wait(lock, [&] { return state_[i] == State::Done || state_[i] == State::RunAgain; });
    }
    if (state_[i] == State::RunAgain) {
      // From here on one file at a time, on this thread, once the jobs at
      // work are done; what the failed run held goes, and its descriptors.
      held_[i].reset();
      alone_ = true;
      toJobs_.notify_all();
      toPrinter_.wait(lock, [&] { return busy_ == 0; });
      return nullptr;
    }
    return std::move(held_[i]);
  }

  // Files up to i are printed: the jobs may run further ahead.
  void printed(std::size_t i) {
    {
      std::lock_guard lock(mutex_);
      printed_ = i + 1;
    }
    toJobs_.notify_all();
  }

  // The jobs finish the file they are at and end.
  void stop() {
    {
      std::lock_guard lock(mutex_);
      ending_ = true;
    }
    toJobs_.notify_all();
    pool_.clear();
  }

 private:
  enum class State : char { Running, WantsTurn, Done, RunAgain };

  bool awaitTurn(std::size_t i) {
    std::unique_lock lock(mutex_);
    if (turn_ == i) return true;
    state_[i] = State::WantsTurn;
    --busy_;
    toPrinter_.notify_one();
    toJobs_.wait(lock, [&] { return turn_ == i || ending_; });
    ++busy_;
    return !ending_;
  }

  void work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      toJobs_.wait(lock, [&] { return alone_ || ending_ || next_ >= count_ || next_ < printed_ + ahead_; });
      if (alone_ || ending_ || next_ >= count_) return;
      const std::size_t i = next_++;
      ++busy_;
      lock.unlock();
      held_[i] = std::make_unique<FileReport>(Spool::held(stdout, [this, i] { return awaitTurn(i); }),
                                              Spool::held(stderr, [this, i] { return awaitTurn(i); }), quiet_, true);
      runOne_(i, *held_[i]);
      lock.lock();
      --busy_;
      state_[i] = held_[i]->runAgain() ? State::RunAgain : State::Done;
      toPrinter_.notify_one();
    }
  }

  const std::size_t count_, ahead_;
  const bool quiet_;
  const RunOne runOne_;
  // Shared by the jobs and the printing thread, under `mutex_`.
  std::mutex mutex_;
  std::condition_variable toPrinter_, toJobs_;
  std::vector<State> state_;
  std::vector<std::unique_ptr<FileReport>> held_;
  std::size_t next_ = 0;     // the next file a job takes
  std::size_t printed_ = 0;  // files printed
  std::size_t turn_ = count_;  // the file whose job may print directly
  std::size_t busy_ = 0;     // jobs working, not waiting for a turn
  bool alone_ = false;       // the jobs take no new file
  bool ending_ = false;      // nothing more is printed
  std::vector<std::jthread> pool_;  // last: the jobs end before what they share
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
      putLine(stderr, fmt::format("ezgitar-cli: {}: {}\n", jobs[i].input,
                                  trf("lines held back could not be read back: {}",
                                      describe(Failure::fromErrno(lost)))));
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
    endLikeBrokenPipe();
  }
  if (tally.outErrno) {
    std::fputs(fmt::format("ezgitar-cli: {}\n",
                           trf("cannot write standard output: {}", describe(Failure::fromErrno(tally.outErrno))))
                   .c_str(),
               stderr);
    return kExitFailure;
  }
  if (tally.errFailed || std::fflush(stderr) != 0) return kExitFailure;
  return tally.failed ? kExitFailure : tally.warned ? kExitWarnings : kExitOk;
}

}  // namespace

int runBatch(const Args& inputs, const BatchOptions& options, const OutputsOf& outputsOf, const Work& work) {
  if (options.outputFolder && !outputFolderUsable(*options.outputFolder)) return kExitFailure;
  bool warned = false;
  const std::vector<Job> jobs = planJobs(expandInputs(inputs, warned), outputsOf);
  // No output may write into another input through a link.
  for (const Job& job : jobs)
    if (job.skipped.empty()) keepFromLinks(pathOf(job.input));
  auto runOne = [&](std::size_t i, FileReport& report) {
    const Job& job = jobs[i];
    if (job.skipped.empty()) return work(job.input, report);
    if (job.outcome == Outcome::Done) report.info(job.skipped);
    else report.error(job.skipped);
    report.outcome = job.outcome;
  };
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  JobPool pool(jobs.size(), std::min<std::size_t>(options.jobs ? options.jobs : cores, jobs.size()), options.quiet,
               runOne);
  Tally tally = printInOrder(jobs, pool, runOne, options.quiet);
  tally.failed |= inputs.empty();
  tally.warned |= warned;
  return exitStatus(tally, pool);
}

}  // namespace ezg::cli
