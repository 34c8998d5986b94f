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
#include "midi/folder.h"
#include "midi/midi_names.h"
#include "midi/utf8_path.h"

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

// Absolute and without "." or "..", links resolved where they exist, so two
// spellings of one file compare equal.
fs::path samePathKey(const fs::path& p) {
  std::error_code ec;
  fs::path abs = fs::absolute(p, ec);
  if (ec) return p.lexically_normal();
  fs::path canon = fs::weakly_canonical(abs, ec);
  return ec ? abs.lexically_normal() : canon;
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
      std::fputs(fmt::format("ezgitar-cli: {}: no .mid file in this folder\n", input).c_str(), stderr);
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
// not hang on which job gets there first.
std::vector<Job> planJobs(const Args& inputs, const OutputsOf& outputsOf) {
  std::vector<fs::path> keys;
  std::vector<std::vector<std::pair<fs::path, fs::path>>> outputs(inputs.size());  // key, as named
  std::map<fs::path, std::size_t> anyWriter;  // output -> the first input writing it
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    keys.push_back(samePathKey(pathOf(inputs[i])));
    for (const fs::path& o : outputsOf(inputs[i])) {
      outputs[i].emplace_back(samePathKey(o), o);
      anyWriter.emplace(outputs[i].back().first, i);
    }
  }
  std::vector<Job> jobs;
  std::map<fs::path, std::size_t> named, writer;  // input -> its first naming; output -> the input writing it
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    Job& job = jobs.emplace_back(Job{inputs[i], {}, Outcome::Done});
    auto skip = [&](Outcome outcome, const std::string& why) {
      const std::string line = fmt::format("{}: skipped: {}\n", inputs[i], why);
      job.skipped = outcome == Outcome::Done ? line : "ezgitar-cli: " + line;
      job.outcome = outcome;
    };
    const auto [first, fresh] = named.emplace(keys[i], i);
    const auto& mine = outputs[i];
    const auto self = std::find_if(mine.begin(), mine.end(), [&](const auto& o) { return o.first == keys[i]; });
    const auto byOther = anyWriter.find(keys[i]);
    const auto clash = std::find_if(mine.begin(), mine.end(), [&](const auto& o) { return writer.contains(o.first); });
    // The window takes a file named just ".mid" for no selection.
    if (const std::string leaf = utf8Of(pathOf(inputs[i]).filename()); leaf.size() == 4 && baseNameOf(leaf).empty())
      skip(Outcome::Warned, "no name before .mid");
    else if (const std::string& earlier = inputs[first->second]; !fresh)
      skip(Outcome::Done, earlier == inputs[i] ? std::string("named twice") : "the same file as " + earlier);
    else if (self != mine.end())
      skip(Outcome::Failed, fmt::format("the output {} is this input file itself; nothing is written for it",
                                        utf8Of(self->second)));
    else if (byOther != anyWriter.end())
      skip(Outcome::Done, fmt::format("{} writes it in this run", inputs[byOther->second]));
    else if (clash != mine.end())
      skip(Outcome::Failed,
           fmt::format("{} writes {} too", inputs[writer[clash->first]], utf8Of(clash->first.filename())));
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

int runBatch(const Args& inputs, const BatchOptions& options, const OutputsOf& outputsOf, const Work& work) {
  if (options.outputFolder) {
    // Said once here rather than by every input.
    const std::string folder = utf8Of(*options.outputFolder);
    if (Status failed = checkFolder(folder)) {
      std::fputs(fmt::format("ezgitar-cli: {}: {}\n", folder,
                             failed->sysError == ENOENT ? "no such folder" : describe(*failed))
                     .c_str(),
                 stderr);
      return kExitFailure;
    }
  }
  bool failed = inputs.empty(), warned = false;
  const std::vector<Job> jobs = planJobs(expandInputs(inputs, warned), outputsOf);
  const std::size_t count = jobs.size();
  auto runOne = [&](std::size_t i, FileReport& report) {
    const Job& job = jobs[i];
    if (job.skipped.empty()) return work(job.input, report);
    if (job.outcome == Outcome::Done) report.info(job.skipped);
    else report.error(job.skipped);
    report.outcome = job.outcome;
  };

  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t wanted = std::min<std::size_t>(options.jobs ? options.jobs : cores, count);
  const std::size_t ahead = kFilesAheadPerJob * wanted;

  // Shared by the jobs and this thread, under `mutex`.
  enum class State : char { Running, WantsTurn, Done, RunAgain };
  std::mutex mutex;
  std::condition_variable toPrinter, toJobs;
  std::vector<State> state(count, State::Running);
  std::vector<std::unique_ptr<FileReport>> held(count);
  std::size_t next = 0;           // the next file a job takes
  std::size_t printed = 0;        // files printed
  std::size_t turn = count;       // the file whose job may print directly
  std::size_t busy = 0;           // jobs working, not waiting for a turn
  bool alone = false;             // the jobs take no new file
  bool ending = false;            // nothing more is printed

  auto awaitTurn = [&](std::size_t i) {
    std::unique_lock lock(mutex);
    if (turn == i) return true;
    state[i] = State::WantsTurn;
    --busy;
    toPrinter.notify_one();
    toJobs.wait(lock, [&] { return turn == i || ending; });
    ++busy;
    return !ending;
  };
  auto job = [&] {
    std::unique_lock lock(mutex);
    for (;;) {
      toJobs.wait(lock, [&] { return alone || ending || next >= count || next < printed + ahead; });
      if (alone || ending || next >= count) return;
      const std::size_t i = next++;
      ++busy;
      lock.unlock();
      held[i] = std::make_unique<FileReport>(Spool::held(stdout, [&awaitTurn, i] { return awaitTurn(i); }),
                                             Spool::held(stderr, [&awaitTurn, i] { return awaitTurn(i); }),
                                             options.quiet, true);
      runOne(i, *held[i]);
      lock.lock();
      --busy;
      state[i] = held[i]->runAgain() ? State::RunAgain : State::Done;
      toPrinter.notify_one();
    }
  };
  std::vector<std::jthread> pool;
  // The jobs are told to stop before they are joined, however this ends.
  struct EndJobs {
    std::function<void()> end;
    ~EndJobs() { end(); }
  } endJobs{[&] {
    {
      std::lock_guard lock(mutex);
      ending = true;
    }
    toJobs.notify_all();
    pool.clear();
  }};
  if (wanted > 1) {
    for (std::size_t j = 0; j < wanted; ++j) {
      try {
        pool.emplace_back(job);
      } catch (const std::system_error&) {
        break;  // fewer jobs, then; this thread works if none started
      }
    }
  }

  // With one job the work runs here and prints as it goes; otherwise this
  // thread prints, in input order, as files are done, and runs here any
  // file the jobs never took.
  ProgressBar bar(count, !options.quiet && count > 1 && progressCanShow());
  int outErrno = 0;
  bool errFailed = false;
  for (std::size_t i = 0; i < count; ++i) {
    bool here = pool.empty();
    if (!here) {
      std::unique_lock lock(mutex);
      if (alone && i >= next) {
        here = true;
      } else {
        toPrinter.wait(lock, [&] { return state[i] != State::Running; });
        if (state[i] == State::WantsTurn) {
          lock.unlock();
          bar.clear();
          lock.lock();
          turn = i;
          toJobs.notify_all();
          toPrinter.wait(lock, [&] { return state[i] == State::Done || state[i] == State::RunAgain; });
        }
        if (state[i] == State::RunAgain) {
          // Out of open files beside the other jobs: from here on one file
          // at a time, on this thread, once the jobs at work are done.
          alone = here = true;
          toJobs.notify_all();
          toPrinter.wait(lock, [&] { return busy == 0; });
        }
      }
    }
    FileReport* r = nullptr;
    std::optional<FileReport> direct;
    if (here) {
      auto clear = [&bar] { bar.clear(); };
      direct.emplace(Spool::direct(stdout, clear), Spool::direct(stderr, clear), options.quiet);
      runOne(i, *direct);
      r = &*direct;
      bar.clear();
    } else {
      r = held[i].get();
      bar.clear();
      r->copyOut();
    }
    if (const int lost = r->lostErrno()) {
      std::fputs(fmt::format("ezgitar-cli: {}: lines held back could not be read back: {}\n", jobs[i].input,
                             describe(Failure::fromErrno(lost)))
                     .c_str(),
                 stderr);
      failed = true;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) outErrno = errno ? errno : EIO;
    if (std::fflush(stderr) != 0 || std::ferror(stderr)) errFailed = true;
    failed |= r->outcome == Outcome::Failed;
    warned |= r->outcome == Outcome::Warned;
    held[i].reset();
    {
      std::lock_guard lock(mutex);
      printed = i + 1;
    }
    toJobs.notify_all();
    if (outErrno || errFailed) break;
    bar.show(i + 1);
  }
  bar.clear();
  if (outErrno == EPIPE) {
    pool.clear();  // what is being written is finished first
    endLikeBrokenPipe();
  }
  if (outErrno) {
    std::fputs(
        fmt::format("ezgitar-cli: cannot write standard output: {}\n", describe(Failure::fromErrno(outErrno))).c_str(),
        stderr);
    return kExitFailure;
  }
  if (errFailed || std::fflush(stderr) != 0) return kExitFailure;
  return failed ? kExitFailure : warned ? kExitWarnings : kExitOk;
}

}  // namespace ezg::cli
