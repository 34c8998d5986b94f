// ezgitar-cli split: the window's Start for many files, without the pause
// and the strip.
#include <filesystem>
#include <optional>
#include <string>

#include "cli/batch.h"
#include "cli/commands.h"
#include "midi/read_file.h"
#include "midi/safe_write.h"
#include "splitter/note_splitter.h"

namespace fs = std::filesystem;

namespace ezg::cli {
namespace {

FileOutcome splitOne(const std::string& input, const std::optional<fs::path>& outDir) {
  FileOutcome outcome;
  auto fail = [&](const std::string& why) {
    outcome.err += format("ezgitar-cli: %s: %s\n", input.c_str(), why.c_str());
    outcome.outcome = Outcome::Failed;
    return outcome;
  };
  ReadResult read = readWholeFile(input);
  if (!read.bytes) return fail(read.error);
  if (read.bytes->empty()) return fail("empty file");

  // Each job keeps its copies' and table's storage from one file to the next.
  thread_local SplitResult split;
  splitNotes(FileBuffer(std::move(*read.bytes)), split);

  const fs::path folder = outDir ? *outDir : fs::path(input).parent_path();
  const std::string base = baseNameOf(input);
  const std::string name13 = (folder / splitOutputName13(base)).string();
  const std::string name24 = (folder / splitOutputName24(base)).string();
  const OutputFactory files = [](const std::string& name) { return std::make_unique<SafeFile>(name); };
  WriteFailure failure;
  if (!writeSplitFiles(files, name13, name24, split, failure))
    return fail("cannot write " + failure.name + ": " + failure.reason);
  outcome.out = format("%s: %zu packets -> %s, %s\n", input.c_str(), split.packets.size(), name13.c_str(),
                       name24.c_str());
  return outcome;
}

}  // namespace

int runSplit(const Args& args) {
  ParsedArgs p;
  if (auto done = parseCommandLine("split", args, {"-o", "--output"}, p)) return *done;
  std::optional<fs::path> outDir;
  if (auto dir = optionValue(p, "-o", "--output")) outDir = *dir;
  return runBatch(expandInputs(p.inputs), p.batch,
                  [&](const std::string& input) { return splitOne(input, outDir); });
}

}  // namespace ezg::cli
