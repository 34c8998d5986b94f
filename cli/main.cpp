// ezgitar-cli: the window's work from the command line, for many files.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/help.h"
#include "files/safe_write.h"
#include "files/utf8_path.h"

namespace ezg::cli {
namespace {

struct Subcommand {
  Subcommand(const char* n, int (*r)(const CommandLine&), bool o, bool s, bool f = false, bool u = false)
      : name(n), run(r), hasOutput(o), hasSeparator(s), hasSoundFont(f), hasSplitUnits(u) {}
  const char* name;
  int (*run)(const CommandLine& line);
  bool hasOutput;
  bool hasSeparator;
  bool hasSoundFont;
  bool hasSplitUnits;
  CLI::App* app = nullptr;
  CommandLine line;
  bool help = false;
  std::string output, separator, soundFont;
};

const CLI::Validator kFolderName(
    [](std::string& value) {
      std::error_code ec;
      if (value.empty()) return std::string("must name a folder");
      if (const auto path = ezg::pathOf(value); std::filesystem::exists(path, ec) && !std::filesystem::is_directory(path, ec))
        return "'" + value + "' is not a folder";
      return std::string();
    },
    "DIR");

const CLI::Validator kFileName(
    [](std::string& value) { return value.empty() ? std::string("must name a file") : std::string(); }, "PATH");

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
  if (s.hasSoundFont) app.add_option("--soundfont", s.soundFont)->check(kFileName);
  if (s.hasSplitUnits) {
    app.add_option("--by", s.line.splitBy)->check(CLI::IsMember({"packet", "note", "bar"}));
    app.add_option("--every", s.line.every)->check(CLI::Range(std::int64_t{1}, std::int64_t{1'000'000'000}));
    app.add_option("--tempo", s.line.tempoPercent)->check(CLI::Range(10, 400));
  }
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
  const std::string line = command.empty()
                               ? fmt::format("ezgitar-cli: {} (try 'ezgitar-cli --help')", why)
                               : fmt::format("ezgitar-cli: {}: {} (try 'ezgitar-cli {} --help')", command, why, command);
  std::fputs((printable(line) + "\n").c_str(), stderr);
  return kExitFailure;
}

// What --help and --version print must reach the reader.
int printed() { return std::fflush(stdout) == 0 && !std::ferror(stdout) ? kExitOk : kExitFailure; }

}  // namespace
}  // namespace ezg::cli

namespace {

int run(int argc, char** argv) {
  using namespace ezg::cli;
  if (argc < 2) return usageError("", "no command given");
  std::vector<Subcommand> subs = {
      {"split", runSplit, true, false, false, true},
      {"report", runReport, true, true},
      {"test", runTest, false, false},
      {"render", runRender, true, false, true},
      {"play", runPlay, false, false, true},
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
    // The byte rule has packets, not units to group.
    if (s.hasSplitUnits && s.line.splitBy == "packet" && !s.app->get_option("--every")->empty())
      return usageError(s.name, "--every needs --by note or --by bar");
    if (s.hasOutput && !s.app->get_option("--output")->empty()) s.line.output = s.output;
    if (s.hasSeparator && !s.app->get_option("--decimal-separator")->empty())
      s.line.decimalSeparator = s.separator[0];
    if (s.hasSoundFont && !s.app->get_option("--soundfont")->empty()) s.line.soundFont = s.soundFont;
    return s.run(s.line);
  }
  return usageError("", "no command given");
}

}  // namespace

int main(int argc, char** argv) {
  using namespace ezg::cli;
  // Whatever escapes is told in one line, with the usage-error status.
  takeEndingEvents();
  try {
    ezg::keepProgramFromLinks();
    std::vector<std::string> words = utf8Arguments(argc, argv);
    std::vector<char*> pointers;
    pointers.reserve(words.size());
    for (std::string& word : words) pointers.push_back(word.data());
    return endingStatus(run(static_cast<int>(pointers.size()), pointers.data()));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ezgitar-cli: %s\n", ezg::printable(e.what()).c_str());
  } catch (...) {
    std::fprintf(stderr, "ezgitar-cli: unexpected failure\n");
  }
  return ezg::cli::kExitFailure;
}
