// ezgitar-cli report [-o DIR] [--decimal-separator C] FILE...: the window's
// "to TXT" for many files; ezgitar-cli test FILE...: its "TEST".
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "midi/read_file.h"
#include "midi/safe_write.h"
#include "report/report.h"
#include "testrun/test_run.h"

namespace fs = std::filesystem;

namespace ezg::cli {
namespace {

void reportUsage() {
  std::fprintf(stderr, "usage: ezgitar-cli report [-o DIR] [--decimal-separator C] FILE...\n");
}
void testUsage() { std::fprintf(stderr, "usage: ezgitar-cli test FILE...\n"); }

// "song.mid" -> "song"; a name without ".mid" is kept whole.
std::string baseNameOf(const fs::path& input) {
  std::string name = input.filename().string();
  if (name.size() > 4 && name.ends_with(".mid")) name.resize(name.size() - 4);
  return name;
}

// The user's decimal separator, as the window takes it from the desktop.
// Separators that are not one ASCII character fall back to a full stop.
char localeDecimalSeparator() {
  const char* current = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = current ? current : "C";
  char separator = '.';
  if (std::setlocale(LC_NUMERIC, "")) {
    const char* point = std::localeconv()->decimal_point;
    if (point && point[0] != '\0' && point[1] == '\0' && static_cast<unsigned char>(point[0]) < 0x80)
      separator = point[0];
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
  return separator;
}

// Reads one input whole; prints why not and gives nothing when it cannot.
std::optional<FileBuffer> readInput(const std::string& input) {
  ReadResult read = readWholeFile(input);
  if (!read.bytes) {
    std::fprintf(stderr, "ezgitar-cli: %s: %s\n", input.c_str(), read.error.c_str());
    return std::nullopt;
  }
  if (read.bytes->empty()) {
    std::fprintf(stderr, "ezgitar-cli: %s: empty file\n", input.c_str());
    return std::nullopt;
  }
  return FileBuffer(std::move(*read.bytes));
}

TickWarning printWarnings(const std::string& input, std::FILE* to, bool& warned) {
  return [&input, to, &warned](std::int64_t p) {
    std::fprintf(to, "%s:%lld: %s\n", input.c_str(), static_cast<long long>(p), kTickWarningText);
    warned = true;
  };
}

enum class Outcome { Done, Warned, Failed };

Outcome reportOne(const std::string& input, const fs::path* outDir, char separator) {
  const auto file = readInput(input);
  if (!file) return Outcome::Failed;
  const std::string name = reportFileName(baseNameOf(input));
  const fs::path target = (outDir ? *outDir : fs::path(input).parent_path()) / name;
  SafeFile out(target);
  bool warned = false;
  TxtYaz(*file, name, standardNoteNames(), separator, out, printWarnings(input, stderr, warned));
  if (!out.commit()) {
    std::fprintf(stderr, "ezgitar-cli: %s: cannot write %s: %s\n", input.c_str(), target.c_str(), out.error().c_str());
    return Outcome::Failed;
  }
  std::printf("%s -> %s\n", input.c_str(), target.c_str());
  return warned ? Outcome::Warned : Outcome::Done;
}

Outcome testOne(const std::string& input) {
  const auto file = readInput(input);
  if (!file) return Outcome::Failed;
  bool warned = false;
  TestEt(*file, printWarnings(input, stdout, warned));
  return warned ? Outcome::Warned : Outcome::Done;
}

// Failures outweigh warnings; warnings outweigh a clean run.
int exitStatus(bool failed, bool warned) { return failed ? kExitFailure : warned ? kExitWarnings : kExitOk; }

}  // namespace

int runReport(const Args& args) {
  std::optional<fs::path> outDir;
  std::optional<char> separator;
  Args inputs;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-o" || a == "--decimal-separator") {
      if (i + 1 == args.size()) {
        std::fprintf(stderr, "ezgitar-cli: report: %s needs a value\n", a.c_str());
        reportUsage();
        return kExitFailure;
      }
      const std::string& value = args[++i];
      if (a == "-o") {
        outDir = value;
      } else if (value.size() == 1) {
        separator = value[0];
      } else {
        std::fprintf(stderr, "ezgitar-cli: report: the decimal separator must be one character\n");
        reportUsage();
        return kExitFailure;
      }
    } else if (a == "--") {
      inputs.insert(inputs.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    } else if (a.size() > 1 && a.starts_with("-")) {
      std::fprintf(stderr, "ezgitar-cli: report: unknown option '%s'\n", a.c_str());
      reportUsage();
      return kExitFailure;
    } else {
      inputs.push_back(a);
    }
  }
  if (inputs.empty()) {
    std::fprintf(stderr, "ezgitar-cli: report: no input file given\n");
    reportUsage();
    return kExitFailure;
  }

  const char sep = separator ? *separator : localeDecimalSeparator();
  bool failed = false, warned = false;
  for (const std::string& input : inputs) {
    const Outcome o = reportOne(input, outDir ? &*outDir : nullptr, sep);
    failed |= o == Outcome::Failed;
    warned |= o == Outcome::Warned;
    // Lines go out in order even when stdout and stderr share a terminal.
    std::fflush(stdout);
  }
  return exitStatus(failed, warned);
}

int runTest(const Args& args) {
  Args inputs;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--") {
      inputs.insert(inputs.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    }
    if (a.size() > 1 && a.starts_with("-")) {
      std::fprintf(stderr, "ezgitar-cli: test: unknown option '%s'\n", a.c_str());
      testUsage();
      return kExitFailure;
    }
    inputs.push_back(a);
  }
  if (inputs.empty()) {
    std::fprintf(stderr, "ezgitar-cli: test: no input file given\n");
    testUsage();
    return kExitFailure;
  }

  bool failed = false, warned = false;
  for (const std::string& input : inputs) {
    const Outcome o = testOne(input);
    failed |= o == Outcome::Failed;
    warned |= o == Outcome::Warned;
    std::fflush(stdout);
  }
  return exitStatus(failed, warned);
}

}  // namespace ezg::cli
