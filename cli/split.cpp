// ezgitar-cli split: the window's Start for many files, without the pause
// and the strip.
#include <cerrno>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include <fmt/format.h>

#include "cli/batch.h"
#include "cli/commands.h"
#include "cli/failure_text.h"
#include "cli/split_findings.h"
#include "midi/midi_names.h"
#include "midi/read_file.h"
#include "midi/safe_write.h"
#include "midi/utf8_path.h"
#include "splitter/note_splitter.h"

namespace fs = std::filesystem;

namespace ezg::cli {
namespace {

std::vector<fs::path> splitOutputs(const std::string& input, const std::optional<fs::path>& outDir) {
  const fs::path path = pathOf(input);
  const fs::path folder = outDir ? *outDir : path.parent_path();
  const std::string base = baseNameOf(utf8Of(path.filename()));
  return {folder / pathOf(splitOutputName13(base)), folder / pathOf(splitOutputName24(base))};
}

// One copy, reading the input at its own offset so that both copies can
// share the open file; the bytes it changes are listed for the check. The
// copy is handed to the disk here; it is synced once the check no longer
// waits for it, and commitBoth() tells any failure of that.
Status makeCopy(const InputFile& in, SplitCopy which, SafeFile& out, ChangeList& changes) {
  Status failure;
  std::uint64_t at = 0;
  try {
    streamCopy(
        [&](std::span<std::uint8_t> into) -> std::size_t {
          std::size_t got = 0;
          if (!failure) failure = in.readAt(at, into, got);
          at += got;
          return got;
        },
        which, out,
        [&](std::int64_t offset, int was) {
          // A velocity set after it was written is read again; it is rare.
          if (was < 0) {
            std::uint8_t byte = 0;
            std::size_t got = 0;
            was = !in.readAt(static_cast<std::uint64_t>(offset), std::span(&byte, 1), got) && got == 1 ? byte : 1;
          }
          if (was != 0) changes.record(offset, 0);
        });
  } catch (const std::bad_alloc&) {
    // Memory ran out even for a few blocks.
    return Failure{FailureCode::TooLarge, ENOMEM, in.name()};
  }
  if (!failure) failure = in.checkUnchanged(at);
  if (!failure) out.startWriteback();
  return failure;
}

void splitOne(const std::string& input, const std::optional<fs::path>& outDir, FileReport& report) {
  auto fail = [&](const Failure& failure, const std::string& why) {
    report.fail(failure, fmt::format("ezgitar-cli: {}: {}\n", input, why));
  };
  // Read in blocks as it is split: memory stays small for any size, and the
  // copies are written while the input is still arriving.
  InputFile in;
  if (Status failed = in.open(pathOf(input))) return fail(*failed, describe(*failed));
  if (in.size() == 0) {
    report.error(fmt::format("ezgitar-cli: {}: empty file\n", input));
    report.outcome = Outcome::Failed;
    return;
  }

  const std::vector<fs::path> names = splitOutputs(input, outDir);
  // Neither name changes until both copies are complete.
  SafeFile out13(names[0]), out24(names[1]);
  for (const SafeFile* out : {&out13, &out24})
    if (Status failed = out->status()) return fail(*failed, "cannot write " + out->name() + ": " + describe(*failed));
  // The two copies are made side by side: on a second core the split takes
  // the time of one copy.
  Status failed13, failed24, failedCheck;
  ChangeList changes13, changes24;
  SplitCheck found;
  {
    // The input is read as events once, for both copies, while the disk
    // writes them.
    // Told with a mutex and a condition: std::latch of MinGW's GCC 12 can
    // miss its wake-up and wait for ever.
    std::mutex listedMutex;
    std::condition_variable listedChanged;
    bool listed = false;
    std::optional<std::jthread> other;
    try {
      other.emplace([&] {
        failed24 = makeCopy(in, SplitCopy::Copy24, out24, changes24);
        {
          std::lock_guard lock(listedMutex);
          listed = true;
        }
        listedChanged.notify_one();
        // Synced early; commitBoth() tells a failure of it.
        if (!failed24) static_cast<void>(out24.finish());
      });
    } catch (const std::system_error&) {
      // No thread to spare: one copy after the other.
    }
    failed13 = makeCopy(in, SplitCopy::Copy13, out13, changes13);
    if (other) {
      std::unique_lock lock(listedMutex);
      listedChanged.wait(lock, [&] { return listed; });
    }
    else failed24 = makeCopy(in, SplitCopy::Copy24, out24, changes24);
    if (!failed13 && !failed24) failedCheck = checkCopies(in, changes13, changes24, found);
    if (!failed13) static_cast<void>(out13.finish());
  }
  for (const Status& failed : {failed13, failed24, failedCheck})
    if (failed) return fail(*failed, describe(*failed));
  // Read and checked: replacing the pair needs a descriptor or two of its own.
  in.close();
  if (Status failed = commitBoth(out13, out24))
    return fail(*failed, "cannot write " + failed->detail + ": " + describe(*failed) + "; both old files kept");
  const SplitNames said{input, utf8Of(names[0]), utf8Of(names[1])};
  report.info(splitSummary(said, found));
  for (const std::string& warning : splitWarnings(said, found)) {
    report.error(warning);
    report.outcome = Outcome::Warned;
  }
}

}  // namespace

int runSplit(const CommandLine& line) {
  std::optional<fs::path> outDir;
  if (line.output) outDir = pathOf(*line.output);
  return runBatch(
      line.inputs, {line.jobs, line.quiet, outDir},
      [&](const std::string& input) { return splitOutputs(input, outDir); },
      [&](const std::string& input, FileReport& report) { splitOne(input, outDir, report); });
}

}  // namespace ezg::cli
