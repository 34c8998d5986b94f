// ezgitar-cli report: the window's "to TXT" for many files;
// ezgitar-cli test: its "TEST".
#include <filesystem>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "cli/batch.h"
#include "cli/commands.h"
#include "cli/failure_text.h"
#include "cli/language.h"
#include "cli/locale_separator.h"
#include "files/midi_names.h"
#include "files/read_file.h"
#include "files/safe_write.h"
#include "files/utf8_path.h"
#include "report/report.h"
#include "testrun/test_run.h"

namespace fs = std::filesystem;

namespace ezg::cli {
namespace {

// Reads one input whole, or says in `report` why it cannot.
std::optional<FileBuffer> readInput(const std::string& input, FileReport& report) {
  Bytes bytes;
  const Status failed = readWholeFile(pathOf(input), bytes);
  if (failed) {
    report.fail(*failed, fmt::format("ezgitar-cli: {}: {}\n", input, describe(*failed)));
    return std::nullopt;
  }
  if (bytes.empty()) {
    report.error(fmt::format("ezgitar-cli: {}: {}\n", input, tr("empty file")));
    report.outcome = Outcome::Failed;
    return std::nullopt;
  }
  return FileBuffer(std::move(bytes));
}

// Each warning is printed as it is found, never gathered first.
TickWarning printWarnings(const std::string& input, FileReport& report, void (FileReport::*print)(std::string_view)) {
  return [&input, &report, print](std::int64_t p) {
    (report.*print)(fmt::format("{}:{}: {}\n", input, p, kTickWarningText));
    report.outcome = Outcome::Warned;
  };
}

fs::path reportTarget(const std::string& input, const std::optional<fs::path>& outDir) {
  const fs::path path = pathOf(input);
  return (outDir ? *outDir : path.parent_path()) / pathOf(reportFileName(baseNameOf(utf8Of(path.filename()))));
}

void reportOne(const std::string& input, const std::optional<fs::path>& outDir, char separator, FileReport& report) {
  const auto file = readInput(input, report);
  if (!file) return;
  const fs::path target = reportTarget(input, outDir);
  SafeFile out(target);
  // Refused before the walk, so no warning is told for a report that will
  // not exist.
  Status failed = out.status();
  if (!failed) {
    TxtYaz(*file, utf8Of(target.filename()), standardNoteNames(), separator, out,
           printWarnings(input, report, &FileReport::error));
    failed = out.commit();
  }
  if (failed) {
    report.fail(*failed, fmt::format("ezgitar-cli: {}: {}\n", input,
                                     trf("cannot write {}: {}", utf8Of(target), describe(*failed))));
    return;
  }
  report.info(fmt::format("{} -> {}\n", input, utf8Of(target)));
}

void testOne(const std::string& input, FileReport& report) {
  const auto file = readInput(input, report);
  if (!file) return;
  // The warnings are what the test is for: they go to stdout, even quiet.
  TestEt(*file, printWarnings(input, report, &FileReport::result));
}

}  // namespace

int runReport(const CommandLine& line) {
  const char separator = line.decimalSeparator ? *line.decimalSeparator : localeDecimalSeparator();
  std::optional<fs::path> outDir;
  if (line.output) outDir = pathOf(*line.output);
  return runBatch(
      line, [&](const std::string& input) { return std::vector<fs::path>{reportTarget(input, outDir)}; },
      [&](const std::string& input, FileReport& report) { reportOne(input, outDir, separator, report); });
}

int runTest(const CommandLine& line) {
  return runBatch(
      line, [](const std::string&) { return std::vector<fs::path>{}; }, testOne);
}

}  // namespace ezg::cli
