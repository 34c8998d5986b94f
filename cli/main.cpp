// ezgitar-cli: the window's work from the command line, for many files.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/help.h"
#include "cli/language.h"
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
  // As typed: checked here, so that every mistake is told in our words.
  std::string jobs, output, separator, soundFont, every, tempo;
};

// The values are taken as text and checked once parsed; an option given
// twice takes the last value, as is usual.
void addOptions(Subcommand& s) {
  CLI::App& app = *s.app;
  app.set_help_flag();  // the help text is ours, see help.cpp
  app.allow_extras();   // told below, in our words
  app.add_flag("-h,--help", s.help);
  app.add_flag("-q,--quiet", s.line.quiet);
  auto value = [&](const char* names, std::string& into) {
    app.add_option(names, into)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  };
  value("-j,--jobs", s.jobs);
  if (s.hasOutput) value("-o,--output", s.output);
  if (s.hasSeparator) value("--decimal-separator", s.separator);
  if (s.hasSoundFont) value("--soundfont", s.soundFont);
  if (s.hasSplitUnits) {
    value("--by", s.line.splitBy);
    value("--every", s.every);
    value("--tempo", s.tempo);
  }
  app.add_option("inputs", s.line.inputs);
}

bool given(const Subcommand& s, const char* option) { return !s.app->get_option(option)->empty(); }

// A whole number from `low` to `high`, or nothing.
std::optional<std::int64_t> wholeNumber(const std::string& text, std::int64_t low, std::int64_t high) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const std::int64_t n = std::stoll(text);
  if (n < low || n > high) return std::nullopt;
  return n;
}

int usageError(const std::string& command, const std::string& why) {
  const std::string help = command.empty() ? "ezgitar-cli --help" : "ezgitar-cli " + command + " --help";
  const std::string hint = trf("(try '{}')", help);
  const std::string line = command.empty() ? fmt::format("ezgitar-cli: {} {}", why, hint)
                                           : fmt::format("ezgitar-cli: {}: {} {}", command, why, hint);
  std::fputs((printable(line) + "\n").c_str(), stderr);
  return kExitFailure;
}

// What is wrong with the options of a command, in our words; "" when
// nothing is.
std::string optionMistake(Subcommand& s) {
  if (const std::vector<std::string> extra = s.app->remaining(); !extra.empty())
    return extra[0].starts_with("-") ? trf("unknown option '{}'", extra[0]) : trf("unexpected argument '{}'", extra[0]);
  auto range = [](const char* option, const std::string& value, std::int64_t low, std::int64_t high) {
    return trf("{}: '{}' is not a whole number from {} to {}", option, value, low, high);
  };
  if (given(s, "--jobs")) {
    const auto jobs = wholeNumber(s.jobs, 1, 9999);
    if (!jobs) return range("--jobs", s.jobs, 1, 9999);
    s.line.jobs = static_cast<unsigned>(*jobs);
  }
  if (s.hasOutput && given(s, "--output")) {
    std::error_code ec;
    if (s.output.empty()) return fmt::format("{}: {}", "--output", tr("must name a folder"));
    const auto path = pathOf(s.output);
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_directory(path, ec))
      return fmt::format("{}: {}", "--output", trf("'{}' is not a folder", s.output));
    s.line.output = s.output;
  }
  if (s.hasSeparator && given(s, "--decimal-separator")) {
    if (s.separator.size() != 1 || !std::isprint(static_cast<unsigned char>(s.separator[0])))
      return fmt::format("{}: {}", "--decimal-separator", tr("must be one printable character"));
    s.line.decimalSeparator = s.separator[0];
  }
  if (s.hasSoundFont && given(s, "--soundfont")) {
    if (s.soundFont.empty()) return fmt::format("{}: {}", "--soundfont", tr("must name a file"));
    s.line.soundFont = s.soundFont;
  }
  if (s.hasSplitUnits) {
    if (s.line.splitBy != "packet" && s.line.splitBy != "note" && s.line.splitBy != "bar")
      return fmt::format("{}: {}", "--by", trf("'{}' is none of packet, note and bar", s.line.splitBy));
    if (given(s, "--every")) {
      const auto every = wholeNumber(s.every, 1, 1'000'000'000);
      if (!every) return range("--every", s.every, 1, 1'000'000'000);
      // The byte rule has packets, not units to group.
      if (s.line.splitBy == "packet") return tr("--every needs --by note or --by bar");
      s.line.every = *every;
    }
    if (given(s, "--tempo")) {
      const auto tempo = wholeNumber(s.tempo, 10, 400);
      if (!tempo) return range("--tempo", s.tempo, 10, 400);
      s.line.tempoPercent = static_cast<int>(*tempo);
    }
  }
  return {};
}

// What --help and --version print must reach the reader.
int printed() { return std::fflush(stdout) == 0 && !std::ferror(stdout) ? kExitOk : kExitFailure; }

}  // namespace
}  // namespace ezg::cli

namespace {

int run(int argc, char** argv) {
  using namespace ezg::cli;
  if (argc < 2) return usageError("", tr("no command given"));
  std::vector<Subcommand> subs = {
      {"split", runSplit, true, false, false, true},
      {"report", runReport, true, true},
      {"test", runTest, false, false},
      {"render", runRender, true, false, true},
      {"play", runPlay, false, false, true},
  };
  CLI::App app("", "ezgitar-cli");
  app.set_help_flag();
  app.allow_extras();
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
  if (command.empty() && argv[1][0] != '-') return usageError("", trf("unknown command '{}'", argv[1]));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ArgumentMismatch& e) {
    // The one mistake CLI11 still finds itself: a value missing at the end
    // or before the next option. It names the option first.
    const std::string what = e.what();
    const std::string option = what.substr(0, what.find(':'));
    if (option.starts_with("--") && option.find(' ') == std::string::npos)
      return usageError(command, trf("{} needs a value", option));
    return usageError(command, trf("the command line cannot be read: {}", what));
  } catch (const CLI::ParseError& e) {
    return usageError(command, trf("the command line cannot be read: {}", e.what()));
  }
  if (const std::vector<std::string> extra = app.remaining(); !extra.empty() && command.empty())
    return usageError("", extra[0].starts_with("-") ? trf("unknown option '{}'", extra[0])
                                                    : trf("unexpected argument '{}'", extra[0]));
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
    if (const std::string mistake = optionMistake(s); !mistake.empty()) return usageError(s.name, mistake);
    if (s.line.inputs.empty()) return usageError(s.name, tr("no input file given"));
    return s.run(s.line);
  }
  return usageError("", tr("no command given"));
}

}  // namespace

int main(int argc, char** argv) {
  using namespace ezg::cli;
  // Whatever escapes is told in one line, with the usage-error status.
  takeEndingEvents();
  try {
    chooseLanguage();
    ezg::keepProgramFromLinks();
    keepCatalogsFromLinks();
    std::vector<std::string> words = utf8Arguments(argc, argv);
    std::vector<char*> pointers;
    pointers.reserve(words.size());
    for (std::string& word : words) pointers.push_back(word.data());
    return endingStatus(run(static_cast<int>(pointers.size()), pointers.data()));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ezgitar-cli: %s\n", ezg::printable(e.what()).c_str());
  } catch (...) {
    std::fprintf(stderr, "ezgitar-cli: %s\n", tr("unexpected failure"));
  }
  return ezg::cli::kExitFailure;
}
