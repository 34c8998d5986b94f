#include "cli/batch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
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

#include "cli/failure_text.h"
#include "midi/midi_names.h"

namespace fs = std::filesystem;

namespace ezg::cli {
namespace {

// Above this a waiting file's lines go to a temporary file.
constexpr std::size_t kHeldBound = 1 << 20;

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

// Lists the plain files of an open folder; a link is followed.
std::vector<std::string> plainFilesIn(int dirFd) {
  std::vector<std::string> names;
  DIR* d = ::fdopendir(dirFd);
  if (!d) {
    ::close(dirFd);
    return names;
  }
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (e->d_type == DT_REG) {
      names.push_back(name);
    } else if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
      struct stat st {};
      if (::fstatat(::dirfd(d), name.c_str(), &st, 0) == 0 && S_ISREG(st.st_mode)) names.push_back(name);
    }
  }
  ::closedir(d);
  return names;
}

// Errors stay on the stream, for the caller to check once per file.
void put(std::FILE* to, std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), to);
}

}  // namespace

Spool::Spool(std::FILE* to, std::function<void()> beforeDirect)
    : to_(to), beforeDirect_(std::move(beforeDirect)), direct_(true) {}

Spool::Spool(std::FILE* to) : to_(to), direct_(false) {}

void Spool::write(std::string_view text) {
  if (direct_) {
    if (beforeDirect_) std::exchange(beforeDirect_, nullptr)();
    put(to_, text);
    return;
  }
  if (!spill_ && held_.size() + text.size() > kHeldBound) {
    spill_.reset(std::tmpfile());
    if (spill_) {
      put(spill_.get(), held_);
      std::string().swap(held_);
    }
  }
  if (spill_) put(spill_.get(), text);
  else held_ += text;  // no temporary file to be had: keep it all
}

void Spool::copyOut() {
  if (direct_) return;
  put(to_, held_);
  std::string().swap(held_);
  if (!spill_) return;
  std::rewind(spill_.get());
  char chunk[1 << 16];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, spill_.get())) > 0;) put(to_, {chunk, n});
  spill_.reset();
}

Args expandInputs(const Args& inputs) {
  Args files;
  for (const std::string& input : inputs) {
    // Opened as a folder or not at all: no stat-then-open, and a FIFO is
    // neither waited on nor taken for a folder.
    const int fd = ::open(input.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      files.push_back(input);
      continue;
    }
    const std::vector<std::string> sorted = sortedMidiNames(plainFilesIn(fd));
    if (sorted.empty()) std::fputs(fmt::format("ezgitar-cli: {}: no .mid file in this folder\n", input).c_str(), stderr);
    for (const std::string& name : sorted) files.push_back((fs::path(input) / name).string());
  }
  return files;
}

int runBatch(const Args& inputs, const BatchOptions& options, const OutputsOf& outputsOf, const Work& work) {
  // Every output is named before anything runs, so that what is written does
  // not hang on which job gets there first.
  bool failed = false, warned = false;
  std::map<fs::path, std::size_t> writer;  // output -> the input writing it
  std::vector<std::vector<fs::path>> outputs(inputs.size());
  for (std::size_t i = 0; i < inputs.size(); ++i)
    for (const fs::path& o : outputsOf(inputs[i])) outputs[i].push_back(samePathKey(o));
  std::map<fs::path, std::size_t> anyWriter;
  for (std::size_t i = 0; i < inputs.size(); ++i)
    for (const fs::path& o : outputs[i]) anyWriter.emplace(o, i);
  Args files;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    std::string why;
    if (auto it = anyWriter.find(samePathKey(inputs[i])); it != anyWriter.end())
      why = fmt::format("skipped: {} writes it in this run", inputs[it->second]);
    for (const fs::path& o : outputs[i]) {
      if (!why.empty()) break;
      if (auto it = writer.find(o); it != writer.end())
        why = fmt::format("skipped: {} writes {} too", inputs[it->second], o.filename().string());
    }
    if (!why.empty()) {
      std::fputs(fmt::format("ezgitar-cli: {}: {}\n", inputs[i], why).c_str(), stderr);
      failed = true;
      continue;
    }
    for (const fs::path& o : outputs[i]) writer.emplace(o, i);
    files.push_back(inputs[i]);
  }
  if (inputs.empty()) failed = true;

  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t wanted = std::min<std::size_t>(options.jobs ? options.jobs : cores, files.size());

  std::vector<std::unique_ptr<FileReport>> held(files.size());
  std::vector<char> done(files.size(), 0);
  std::mutex mutex;
  std::condition_variable ready;
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
      work(files[i], *held[i]);
      std::lock_guard lock(mutex);
      done[i] = 1;
      ready.notify_one();
    }
  };
  std::vector<std::jthread> pool;
  if (wanted > 1) {
    for (auto& r : held) r = std::make_unique<FileReport>(Spool(stdout), Spool(stderr), options.quiet);
    for (std::size_t j = 0; j < wanted; ++j) {
      try {
        pool.emplace_back(worker);
      } catch (const std::system_error&) {
        break;  // fewer jobs, then; this thread works if none started
      }
    }
  }

  // With one job the work runs here and prints as it goes; otherwise this
  // thread only prints, in input order, as files are done.
  ProgressBar bar(files.size(), !options.quiet && files.size() > 1 && ::isatty(STDERR_FILENO));
  int outErrno = 0;
  bool errFailed = false;
  for (std::size_t i = 0; i < files.size(); ++i) {
    FileReport* r = nullptr;
    std::optional<FileReport> direct;
    if (pool.empty()) {
      auto clear = [&bar] { bar.clear(); };
      direct.emplace(Spool(stdout, clear), Spool(stderr, clear), options.quiet);
      work(files[i], *direct);
      r = &*direct;
      bar.clear();
    } else {
      std::unique_lock lock(mutex);
      ready.wait(lock, [&] { return done[i] != 0; });
      r = held[i].get();
      lock.unlock();
      bar.clear();
      r->copyOut();
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) outErrno = errno ? errno : EIO;
    if (std::fflush(stderr) != 0 || std::ferror(stderr)) errFailed = true;
    failed |= r->outcome == Outcome::Failed;
    warned |= r->outcome == Outcome::Warned;
    if (!pool.empty()) held[i].reset();
    if (outErrno || errFailed) {
      next = files.size();  // the jobs take no new file
      break;
    }
    bar.show(i + 1);
  }
  bar.clear();
  if (outErrno == EPIPE) {
    pool.clear();  // what is being written is finished first
    endLikeBrokenPipe();
  }
  if (outErrno) {
    std::fputs(fmt::format("ezgitar-cli: cannot write standard output: {}\n", describe(Failure::fromErrno(outErrno))).c_str(), stderr);
    return kExitFailure;
  }
  if (errFailed || std::fflush(stderr) != 0) return kExitFailure;
  return failed ? kExitFailure : warned ? kExitWarnings : kExitOk;
}

std::string baseNameOf(const std::string& input) {
  std::string name = fs::path(input).filename().string();
  if (name.size() > 4 && name.ends_with(".mid")) name.resize(name.size() - 4);
  return name;
}

}  // namespace ezg::cli
