// ezgitar-cli split: the window's Start for many files, without the pause
// and the strip.
#include <filesystem>
#include <optional>
#include <string>

#include "cli/batch.h"
#include "cli/commands.h"
#include "cli/failure_text.h"
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
  Bytes bytes;
  if (Status failed = readWholeFile(input, bytes)) return fail(describe(*failed));
  if (bytes.empty()) return fail("empty file");

  const fs::path folder = outDir ? *outDir : fs::path(input).parent_path();
  const std::string base = baseNameOf(input);
  const std::string name13 = (folder / splitOutputName13(base)).string();
  const std::string name24 = (folder / splitOutputName24(base)).string();
  // Both copies stream straight into their temporary files; neither name
  // changes until both are complete.
  SafeFile out13(name13), out24(name24);
  for (const SafeFile* out : {&out13, &out24})
    if (Status failed = out->status()) return fail("cannot write " + out->name() + ": " + describe(*failed));
  const std::int64_t packets = streamSplit(bytes, out13, out24);
  if (Status failed = commitBoth(out13, out24)) return fail("cannot write " + failed->detail + ": " + describe(*failed));
  outcome.out = format("%s: %lld packets -> %s, %s\n", input.c_str(), static_cast<long long>(packets), name13.c_str(),
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
