// ezgitar-cli report: the window's "to TXT" for many files;
// ezgitar-cli test: its "TEST".
#include <filesystem>
#include <optional>
#include <string>

#include "cli/batch.h"
#include "cli/commands.h"
#include "cli/failure_text.h"
#include "cli/locale_separator.h"
#include "midi/read_file.h"
#include "midi/safe_write.h"
#include "report/report.h"
#include "testrun/test_run.h"

namespace fs = std::filesystem;

namespace ezg::cli {
namespace {

// Reads one input whole, or says in `outcome` why it cannot.
std::optional<FileBuffer> readInput(const std::string& input, FileOutcome& outcome) {
  Bytes bytes;
  const Status failed = readWholeFile(input, bytes);
  if (failed || bytes.empty()) {
    outcome.err += format("ezgitar-cli: %s: %s\n", input.c_str(), failed ? describe(*failed).c_str() : "empty file");
    outcome.outcome = Outcome::Failed;
    return std::nullopt;
  }
  return FileBuffer(std::move(bytes));
}

TickWarning collectWarnings(const std::string& input, std::string& to, FileOutcome& outcome) {
  return [&input, &to, &outcome](std::int64_t p) {
    to += format("%s:%lld: %s\n", input.c_str(), static_cast<long long>(p), kTickWarningText);
    outcome.outcome = Outcome::Warned;
  };
}

FileOutcome reportOne(const std::string& input, const std::optional<fs::path>& outDir, char separator) {
  FileOutcome outcome;
  const auto file = readInput(input, outcome);
  if (!file) return outcome;
  const std::string name = reportFileName(baseNameOf(input));
  const fs::path target = (outDir ? *outDir : fs::path(input).parent_path()) / name;
  SafeFile out(target);
  // Refused before the walk, so no warning is told for a report that will
  // not exist.
  Status failed = out.status();
  if (!failed) {
    TxtYaz(*file, name, standardNoteNames(), separator, out, collectWarnings(input, outcome.err, outcome));
    failed = out.commit();
  }
  if (failed) {
    outcome.err += format("ezgitar-cli: %s: cannot write %s: %s\n", input.c_str(), target.c_str(), describe(*failed).c_str());
    outcome.outcome = Outcome::Failed;
    return outcome;
  }
  outcome.out = format("%s -> %s\n", input.c_str(), target.c_str());
  return outcome;
}

FileOutcome testOne(const std::string& input) {
  FileOutcome outcome;
  const auto file = readInput(input, outcome);
  if (!file) return outcome;
  // The warnings are what the test is for: they go to stdout, even quiet.
  TestEt(*file, collectWarnings(input, outcome.out, outcome));
  outcome.outIsResult = true;
  return outcome;
}

}  // namespace

int runReport(const Args& args) {
  ParsedArgs p;
  if (auto done = parseCommandLine("report", args, {"-o", "--output", "--decimal-separator"}, p)) return *done;
  const auto sep = optionValue(p, "--decimal-separator");
  if (sep && sep->size() != 1) {
    std::fprintf(stderr, "ezgitar-cli: report: the decimal separator must be one character, not '%s'\n",
                 sep->c_str());
    return kExitFailure;
  }
  const char separator = sep ? (*sep)[0] : localeDecimalSeparator();
  std::optional<fs::path> outDir;
  if (auto dir = optionValue(p, "-o", "--output")) outDir = *dir;
  return runBatch(expandInputs(p.inputs), p.batch,
                  [&](const std::string& input) { return reportOne(input, outDir, separator); });
}

int runTest(const Args& args) {
  ParsedArgs p;
  if (auto done = parseCommandLine("test", args, {}, p)) return *done;
  return runBatch(expandInputs(p.inputs), p.batch, testOne);
}

}  // namespace ezg::cli
