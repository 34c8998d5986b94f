#include "cli/batch.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

#include "cli/help.h"
#include "midi/midi_names.h"

namespace fs = std::filesystem;

namespace ezg::cli {
namespace {

std::optional<unsigned> parseJobs(const std::string& text) {
  if (text.empty() || text.size() > 4 || !std::all_of(text.begin(), text.end(), ::isdigit)) return std::nullopt;
  const unsigned n = static_cast<unsigned>(std::stoul(text));
  if (n == 0) return std::nullopt;
  return n;
}

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
    std::fprintf(stderr, "\r[%s%s] %zu/%zu", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, ' ').c_str(), done, total_);
    std::fflush(stderr);
    shown_ = true;
  }

 private:
  std::size_t total_;
  bool enabled_;
  bool shown_ = false;
};

}  // namespace

ParsedArgs parseArgs(const Args& args, const std::vector<std::string_view>& valueOptions) {
  ParsedArgs p;
  for (std::size_t i = 0; i < args.size() && p.error.empty(); ++i) {
    std::string a = args[i];
    if (a == "--") {
      p.inputs.insert(p.inputs.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    }
    if (a.size() < 2 || a[0] != '-') {
      p.inputs.push_back(a);
      continue;
    }
    std::optional<std::string> inlineValue;
    if (auto eq = a.find('='); a.starts_with("--") && eq != std::string::npos) {
      inlineValue = a.substr(eq + 1);
      a.resize(eq);
    }
    const bool takesValue = a == "-j" || a == "--jobs" ||
                            std::find(valueOptions.begin(), valueOptions.end(), a) != valueOptions.end();
    if (a == "-h" || a == "--help") {
      p.help = true;
    } else if (a == "-q" || a == "--quiet") {
      p.batch.quiet = true;
    } else if (!takesValue) {
      p.error = "unknown option '" + a + "'";
    } else {
      std::string value;
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        p.error = a + " needs a value";
        break;
      }
      if (a == "-j" || a == "--jobs") {
        auto jobs = parseJobs(value);
        if (!jobs) p.error = "--jobs needs a whole number from 1 to 9999, not '" + value + "'";
        else p.batch.jobs = *jobs;
      } else {
        p.values[a] = value;
      }
    }
  }
  return p;
}

std::optional<int> parseCommandLine(const char* command, const Args& args,
                                    const std::vector<std::string_view>& valueOptions, ParsedArgs& p) {
  p = parseArgs(args, valueOptions);
  if (p.help) {
    printCommandHelp(*findCommandHelp(command), stdout);
    return kExitOk;
  }
  if (p.error.empty() && p.inputs.empty()) p.error = "no input file given";
  if (!p.error.empty()) {
    std::fprintf(stderr, "ezgitar-cli: %s: %s (try 'ezgitar-cli %s --help')\n", command, p.error.c_str(), command);
    return kExitFailure;
  }
  return std::nullopt;
}

std::optional<std::string> optionValue(const ParsedArgs& p, std::string_view name, std::string_view otherName) {
  for (std::string_view n : {name, otherName}) {
    if (n.empty()) continue;
    if (auto it = p.values.find(std::string(n)); it != p.values.end()) return it->second;
  }
  return std::nullopt;
}

Args expandInputs(const Args& inputs) {
  Args files;
  for (const std::string& input : inputs) {
    std::error_code ec;
    if (!fs::is_directory(input, ec)) {
      files.push_back(input);
      continue;
    }
    std::vector<std::string> names;
    for (fs::directory_iterator it(input, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code fileEc;
      if (it->is_regular_file(fileEc)) names.push_back(it->path().filename().string());
    }
    const std::vector<std::string> sorted = sortedMidiNames(names);
    for (const std::string& name : sorted) files.push_back((fs::path(input) / name).string());
  }
  return files;
}

int runBatch(const Args& files, const BatchOptions& options,
             const std::function<FileOutcome(const std::string& file)>& work) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const auto jobs = static_cast<std::size_t>(std::min<std::size_t>(options.jobs ? options.jobs : cores, files.size()));

  std::vector<std::optional<FileOutcome>> results(files.size());
  std::mutex mutex;
  std::condition_variable ready;
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
      FileOutcome outcome = work(files[i]);
      std::lock_guard lock(mutex);
      results[i] = std::move(outcome);
      ready.notify_one();
    }
  };
  std::vector<std::jthread> pool;
  if (jobs > 1)
    for (std::size_t j = 0; j < jobs; ++j) pool.emplace_back(worker);

  // With one job the work runs here, between the prints; otherwise this
  // thread only prints, in input order, as results arrive.
  ProgressBar bar(files.size(), !options.quiet && files.size() > 1 && ::isatty(STDERR_FILENO));
  bool failed = false, warned = false;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (jobs <= 1) results[i] = work(files[i]);
    std::optional<FileOutcome> r;
    {
      std::unique_lock lock(mutex);
      ready.wait(lock, [&] { return results[i].has_value(); });
      r = std::move(results[i]);
      results[i].reset();
    }
    bar.clear();
    if (!options.quiet || r->outIsResult) std::fputs(r->out.c_str(), stdout);
    std::fflush(stdout);
    std::fputs(r->err.c_str(), stderr);
    failed |= r->outcome == Outcome::Failed;
    warned |= r->outcome == Outcome::Warned;
    bar.show(i + 1);
  }
  bar.clear();
  return failed ? kExitFailure : warned ? kExitWarnings : kExitOk;
}

std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, fmt, args);
  va_end(args);
  std::string s(static_cast<std::size_t>(std::max(n, 0)), '\0');
  std::vsnprintf(s.data(), s.size() + 1, fmt, again);
  va_end(again);
  return s;
}

std::string baseNameOf(const std::string& input) {
  std::string name = fs::path(input).filename().string();
  if (name.size() > 4 && name.ends_with(".mid")) name.resize(name.size() - 4);
  return name;
}

}  // namespace ezg::cli
