// ezgitar-cli: the window's work from the command line, for many files.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "cli/commands.h"
#include "cli/help.h"
#include "midi/safe_write.h"

namespace ezg::cli {
namespace {

struct Subcommand {
  Subcommand(const char* n, int (*r)(const CommandLine&), bool o, bool s)
      : name(n), run(r), hasOutput(o), hasSeparator(s) {}
  const char* name;
  int (*run)(const CommandLine& line);
  bool hasOutput;
  bool hasSeparator;
  CLI::App* app = nullptr;
  CommandLine line;
  bool help = false;
  std::string output, separator;
};

const CLI::Validator kFolderName(
    [](std::string& value) {
      std::error_code ec;
      if (value.empty()) return std::string("must name a folder");
      if (std::filesystem::exists(value, ec) && !std::filesystem::is_directory(value, ec))
        return "'" + value + "' is not a folder";
      return std::string();
    },
    "DIR");

const CLI::Validator kOnePrintableCharacter(
    [](std::string& value) {
      if (value.size() != 1 || !std::isprint(static_cast<unsigned char>(value[0])))
        return std::string("must be one printable character");
      return std::string();
    },
    "C");

void addOptions(Subcommand& s) {
  CLI::App& app = *s.app;
  app.set_help_flag();  // the help text is ours, see help.cpp
  app.add_flag("-h,--help", s.help);
  app.add_flag("-q,--quiet", s.line.quiet);
  app.add_option("-j,--jobs", s.line.jobs)->check(CLI::Range(1u, 9999u));
  if (s.hasOutput) app.add_option("-o,--output", s.output)->check(kFolderName);
  if (s.hasSeparator) app.add_option("--decimal-separator", s.separator)->check(kOnePrintableCharacter);
  app.add_option("inputs", s.line.inputs);
}

// CLI11's messages are one line already; this keeps it so.
std::string oneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

int usageError(const std::string& command, const std::string& why) {
  if (command.empty())
    std::fputs(fmt::format("ezgitar-cli: {} (try 'ezgitar-cli --help')\n", why).c_str(), stderr);
  else
    std::fputs(fmt::format("ezgitar-cli: {}: {} (try 'ezgitar-cli {} --help')\n", command, why, command).c_str(),
               stderr);
  return kExitFailure;
}

// What --help and --version print must reach the reader.
int printed() { return std::fflush(stdout) == 0 && !std::ferror(stdout) ? kExitOk : kExitFailure; }

}  // namespace
}  // namespace ezg::cli

namespace {

// An interrupted run ends as the signal would have ended it, so the caller
// sees the signal.
[[noreturn]] void endAs(int sig) {
  ::signal(sig, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(sig);
  ::_exit(128 + sig);
}

extern "C" void endOnSignal(int sig) {
  ezg::removeTemporariesOnSignal();
  endAs(sig);
}

// The ending signals go to one thread that waits for them, so none lands
// in the middle of a pair being replaced on another thread; that thread
// lets the replacement finish, removes the temporaries and ends the run.
// Blocked, a file size limit or a closed pipe is a failed write with a
// message instead of a silent end. Without a thread to spare, a handler
// does the same in the one thread there is.
std::atomic<int> gEndingSignal{0};

sigset_t endingSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : ezg::kEndingSignals) sigaddset(&set, sig);
  return set;
}

void takeEndingSignals() {
  const sigset_t set = endingSet();
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
  try {
    std::thread([set] {
      int sig = 0;
      while (::sigwait(&set, &sig) != 0) {
      }
      gEndingSignal.store(sig);
      ezg::stopWritingAndRemoveTemporaries();
      endAs(sig);
    }).detach();
    return;
  } catch (const std::system_error&) {
  }
  struct sigaction action {};
  action.sa_handler = endOnSignal;
  action.sa_mask = set;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
  ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace

namespace ezg::cli {

void endLikeBrokenPipe() {
  // Whatever was being replaced is complete: the jobs have ended.
  endAs(SIGPIPE);
}

}  // namespace ezg::cli

namespace {

int run(int argc, char** argv) {
  using namespace ezg::cli;
  if (argc < 2) return usageError("", "no command given");
  std::vector<Subcommand> subs = {
      {"split", runSplit, true, false},
      {"report", runReport, true, true},
      {"test", runTest, false, false},
  };
  CLI::App app("", "ezgitar-cli");
  app.set_help_flag();
  bool help = false, version = false;
  app.add_flag("-h,--help", help);
  app.add_flag("-V,--version", version);
  for (Subcommand& s : subs) {
    s.app = app.add_subcommand(s.name);
    addOptions(s);
  }
  // The hint names the command being given, when the mistake is inside it.
  std::string command;
  for (const Subcommand& s : subs)
    if (argv[1] == std::string(s.name)) command = s.name;
  if (command.empty() && argv[1][0] != '-') return usageError("", fmt::format("unknown command '{}'", argv[1]));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return usageError(command, oneLine(e.what()));
  }
  if (help) {
    printMainHelp(stdout);
    return printed();
  }
  if (version) {
    std::printf("ezgitar-cli %s\n", EZGITAR_VERSION);
    return printed();
  }
  for (Subcommand& s : subs) {
    if (!s.app->parsed()) continue;
    if (s.help) {
      printCommandHelp(*findCommandHelp(s.name), stdout);
      return printed();
    }
    if (s.line.inputs.empty()) return usageError(s.name, "no input file given");
    if (s.hasOutput && !s.app->get_option("--output")->empty()) s.line.output = s.output;
    if (s.hasSeparator && !s.app->get_option("--decimal-separator")->empty())
      s.line.decimalSeparator = s.separator[0];
    return s.run(s.line);
  }
  return usageError("", "no command given");
}

}  // namespace

// A signal sent while the last pair was replaced still ends the run as the
// signal would, though the work got done. A signal the system raised for a
// failed write (a file size limit) was told as a failure already.
int endingStatus(int status) {
  if (const int sig = gEndingSignal.load()) endAs(sig);
  const sigset_t set = endingSet();
  siginfo_t info{};
  const timespec now{};
  if (::sigtimedwait(&set, &info, &now) > 0 && info.si_code <= 0 && info.si_pid != ::getpid()) endAs(info.si_signo);
  return status;
}

int main(int argc, char** argv) {
  // Whatever escapes is told in one line, with the usage-error status.
  takeEndingSignals();
  try {
    return endingStatus(run(argc, argv));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ezgitar-cli: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "ezgitar-cli: unexpected failure\n");
  }
  return ezg::cli::kExitFailure;
}
