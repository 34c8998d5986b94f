// ezgitar-cli split: the window's Start for many files, without the pause
// and the strip.
#include <filesystem>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "cli/batch.h"
#include "cli/commands.h"
#include "cli/failure_text.h"
#include "midi/read_file.h"
#include "midi/safe_write.h"
#include "splitter/note_splitter.h"

namespace fs = std::filesystem;

namespace ezg::cli {
namespace {

std::vector<fs::path> splitOutputs(const std::string& input, const std::optional<fs::path>& outDir) {
  const fs::path folder = outDir ? *outDir : fs::path(input).parent_path();
  const std::string base = baseNameOf(input);
  return {folder / splitOutputName13(base), folder / splitOutputName24(base)};
}

void splitOne(const std::string& input, const std::optional<fs::path>& outDir, FileReport& report) {
  auto fail = [&](const std::string& why) {
    report.error(fmt::format("ezgitar-cli: {}: {}\n", input, why));
    report.outcome = Outcome::Failed;
  };
  Bytes bytes;
  if (Status failed = readWholeFile(input, bytes)) return fail(describe(*failed));
  if (bytes.empty()) return fail("empty file");

  const std::vector<fs::path> names = splitOutputs(input, outDir);
  // Both copies stream straight into their temporary files; neither name
  // changes until both are complete.
  SafeFile out13(names[0]), out24(names[1]);
  for (const SafeFile* out : {&out13, &out24})
    if (Status failed = out->status()) return fail("cannot write " + out->name() + ": " + describe(*failed));
  const std::int64_t packets = streamSplit(bytes, out13, out24);
  if (Status failed = commitBoth(out13, out24))
    return fail("cannot write " + failed->detail + ": " + describe(*failed) + "; both old files kept");
  report.info(fmt::format("{}: {} packets -> {}, {}\n", input, packets, names[0].string(), names[1].string()));
}

}  // namespace

int runSplit(const CommandLine& line) {
  std::optional<fs::path> outDir;
  if (line.output) outDir = *line.output;
  return runBatch(
      expandInputs(line.inputs), {line.jobs, line.quiet},
      [&](const std::string& input) { return splitOutputs(input, outDir); },
      [&](const std::string& input, FileReport& report) { splitOne(input, outDir, report); });
}

}  // namespace ezg::cli
