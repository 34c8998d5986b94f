// ezgitar-cli split: the window's Start for many files, without the pause
// and the strip.
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
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
#include "cli/language.h"
#include "cli/split_findings.h"
#include "files/midi_names.h"
#include "files/read_file.h"
#include "files/safe_write.h"
#include "files/utf8_path.h"
#include "splitter/event_split.h"
#include "splitter/note_splitter.h"

namespace fs = std::filesystem;

namespace ezg::cli {
namespace {

constexpr std::size_t kBlock = std::size_t{1} << 16;

// What the command line asked of the split.
struct SplitChoice {
  std::optional<EventSplitOptions> byEvents;  // none: the byte rule, by packet
  int tempoPercent = 0;
};

std::vector<fs::path> splitOutputs(const std::string& input, const std::optional<fs::path>& outDir) {
  const fs::path path = pathOf(input);
  const fs::path folder = outDir ? *outDir : path.parent_path();
  const std::string base = baseNameOf(utf8Of(path.filename()));
  return {folder / pathOf(splitOutputName13(base)), folder / pathOf(splitOutputName24(base))};
}

// One copy, reading the input at its own offset so that both copies can
// share the open file; the bytes it changes are listed for the check.
Status makeCopy(const InputFile& in, SplitCopy which, SafeFile& out, ChangeList& changes, const CopyEdits* tempo) {
  Status failure;
  std::uint64_t at = 0;
  // At another tempo the byte rule's bytes pass through the tempo's edits.
  std::optional<EditedSink> edited;
  if (tempo) edited.emplace(*tempo, out);
  ByteSink* const sink = edited ? static_cast<ByteSink*>(&*edited) : &out;
  try {
    streamCopy(
        [&](std::span<std::uint8_t> into) -> std::size_t {
          std::size_t got = 0;
          if (!failure) failure = in.readAt(at, into, got);
          at += got;
          return got;
        },
        which, *sink,
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
  if (edited) edited->finish();
  if (!failure) failure = in.checkUnchanged(at);
  return failure;
}

// The whole input, for the splits that plan their copies from its events.
Status readWhole(const InputFile& in, Bytes& bytes) {
  try {
    // Huge pages where the system takes the advice, before the bytes are
    // first touched: far fewer faults.
    bytes.reserve(static_cast<std::size_t>(in.size()));
    ezg::detail::adviseLargeBuffer(bytes.data(), bytes.capacity());
    bytes.resize(static_cast<std::size_t>(in.size()));
  } catch (const std::exception&) {
    return Failure{FailureCode::TooLarge, ENOMEM, in.name()};
  }
  std::uint64_t at = 0;
  for (std::size_t got = 1; got > 0 && at < bytes.size(); at += got) {
    const std::size_t want = std::min<std::size_t>(kBlock, bytes.size() - static_cast<std::size_t>(at));
    if (Status failed = in.readAt(at, std::span(bytes).subspan(static_cast<std::size_t>(at), want), got)) return failed;
  }
  bytes.resize(static_cast<std::size_t>(at));
  return in.checkUnchanged(at);
}

// One copy: the input streamed through its edits.
void writeEdited(const Bytes& input, const CopyEdits& edits, SafeFile& out) {
  EditedSink sink(edits, out);
  for (std::size_t at = 0; at < input.size(); at += kBlock)
    sink.write(asChars(std::span(input).subspan(at, std::min(kBlock, input.size() - at))));
  sink.finish();
}

// A second thread pays where there is a sync to wait for, or much to copy;
// for the few KB of a piece in a batch it costs more than the copy.
bool worthAThread(std::uint64_t size, bool syncNow) { return syncNow || size >= (std::uint64_t{1} << 20); }

// Puts the pair in place, now or, in a batch, later with other files'
// pairs; `done` tells a pair in place.
void commitPair(const std::string& input, std::unique_ptr<SafeFile> out13, std::unique_ptr<SafeFile> out24,
                std::uint64_t bytes, FileReport& report, std::function<void(FileReport&)> done) {
  auto then = [input, done = std::move(done)](Status failed, FileReport& told) {
    if (!failed) return done(told);
    told.fail(*failed, fmt::format("ezgitar-cli: {}: {}\n", input,
                                   trf("cannot write {}: {}; both old files kept", failed->detail, describe(*failed))));
  };
  if (report.mayCommitLater()) return report.commitLater({std::move(out13), std::move(out24), 2 * bytes, then, {}});
  then(commitBoth(*out13, *out24), report);
}

// Both outputs, or the first failure to open one.
Status openPair(const std::vector<fs::path>& names, std::unique_ptr<SafeFile>& out13,
                std::unique_ptr<SafeFile>& out24) {
  out13 = std::make_unique<SafeFile>(names[0]);
  out24 = std::make_unique<SafeFile>(names[1]);
  for (const SafeFile* out : {out13.get(), out24.get()})
    if (Status failed = out->status()) return failed;
  return {};
}

void splitByEvents(const std::string& input, InputFile& in, const std::vector<fs::path>& names,
                   const EventSplitOptions& options, FileReport& report) {
  auto fail = [&](const Failure& failure, const std::string& why) {
    report.fail(failure, fmt::format("ezgitar-cli: {}: {}\n", input, why));
  };
  auto failWriting = [&](const Failure& failure) {
    fail(failure, trf("cannot write {}: {}", failure.detail, describe(failure)));
  };
  Bytes bytes;
  if (Status failed = readWhole(in, bytes)) return fail(*failed, describe(*failed));
  EventSplitPlan plan;
  if (std::optional<EventSplitRefusal> refused = planEventSplit(bytes, options, plan)) {
    report.error(fmt::format("ezgitar-cli: {}: {}\n", input, refusalText(*refused)));
    report.outcome = Outcome::Failed;
    return;
  }
  std::unique_ptr<SafeFile> out13, out24;
  if (Status failed = openPair(names, out13, out24)) return failWriting(*failed);
  // Side by side, as the byte rule's copies: on a second core the writing
  // and syncing take the time of one copy. A batch syncs them later.
  const bool syncNow = !report.mayCommitLater();
  {
    std::optional<std::jthread> other;
    auto write24 = [&] {
      writeEdited(bytes, plan.copy24, *out24);
      if (syncNow) static_cast<void>(out24->finish());
    };
    try {
      if (worthAThread(bytes.size(), syncNow)) other.emplace(write24);
    } catch (const std::system_error&) {
      // No thread to spare: one copy after the other.
    }
    writeEdited(bytes, plan.copy13, *out13);
    if (syncNow) static_cast<void>(out13->finish());
    if (!other) write24();
  }
  for (const SafeFile* out : {out13.get(), out24.get()})
    if (Status failed = out->status()) return failWriting(*failed);
  in.close();
  const SplitNames said{input, utf8Of(names[0]), utf8Of(names[1])};
  commitPair(input, std::move(out13), std::move(out24), bytes.size(), report,
             [said, facts = plan.facts, options](FileReport& told) {
               told.info(eventSplitSummary(said, facts, options));
               for (const std::string& warning : eventSplitWarnings(said, facts)) {
                 told.error(warning);
                 told.outcome = Outcome::Warned;
               }
             });
}

// The two copies made side by side, on a second core in the time of one,
// then held against the input read as events once, while the disk writes
// them; synced early unless a batch syncs them later, and a failure of the
// syncs is told by commitBoth(). The first failure, if any.
Status makeBothCopies(const InputFile& in, const CopyEdits* tempoEdits, SafeFile& out13, SafeFile& out24,
                      ChangeList& changes13, ChangeList& changes24, SplitCheck& found, bool syncNow) {
  Status failed13, failed24;
  // Told with a mutex and a condition: std::latch of MinGW's GCC 12 can
  // miss its wake-up and wait for ever.
  std::mutex listedMutex;
  std::condition_variable listedChanged;
  bool listed = false;
  std::optional<std::jthread> other;
  try {
    if (worthAThread(in.size(), syncNow))
      other.emplace([&] {
        failed24 = makeCopy(in, SplitCopy::Copy24, out24, changes24, tempoEdits);
        {
          std::lock_guard lock(listedMutex);
          listed = true;
        }
        listedChanged.notify_one();
        if (!failed24 && syncNow) static_cast<void>(out24.finish());
      });
  } catch (const std::system_error&) {
    // No thread to spare: one copy after the other.
  }
  failed13 = makeCopy(in, SplitCopy::Copy13, out13, changes13, tempoEdits);
  // On its way to the disk while the copies are checked.
  if (!failed13 && syncNow) out13.startWriteback();
  if (other) {
    std::unique_lock lock(listedMutex);
    listedChanged.wait(lock, [&] { return listed; });
  } else {
    failed24 = makeCopy(in, SplitCopy::Copy24, out24, changes24, tempoEdits);
  }
  Status failedCheck;
  if (!failed13 && !failed24) failedCheck = checkCopies(in, changes13, changes24, found);
  if (!failed13 && syncNow) static_cast<void>(out13.finish());
  other.reset();
  return failed13 ? failed13 : failed24 ? failed24 : failedCheck;
}

void splitOne(const std::string& input, const std::optional<fs::path>& outDir, const SplitChoice& choice,
              FileReport& report) {
  auto fail = [&](const Failure& failure, const std::string& why) {
    report.fail(failure, fmt::format("ezgitar-cli: {}: {}\n", input, why));
  };
  // Read in blocks as it is split: memory stays small for any size, and the
  // copies are written while the input is still arriving.
  InputFile in;
  if (Status failed = in.open(pathOf(input))) return fail(*failed, describe(*failed));
  if (in.size() == 0) {
    report.error(fmt::format("ezgitar-cli: {}: {}\n", input, tr("empty file")));
    report.outcome = Outcome::Failed;
    return;
  }

  const std::vector<fs::path> names = splitOutputs(input, outDir);
  if (choice.byEvents) return splitByEvents(input, in, names, *choice.byEvents, report);
  // At another tempo the byte rule's copies get the tempo's edits, planned
  // from the input's events.
  std::optional<CopyEdits> tempo;
  EventSplitFacts tempoFacts;
  if (choice.tempoPercent != 0) {
    Bytes bytes;
    if (Status failed = readWhole(in, bytes)) return fail(*failed, describe(*failed));
    tempo.emplace();
    if (std::optional<EventSplitRefusal> refused = planTempoOnly(bytes, choice.tempoPercent, *tempo, tempoFacts)) {
      report.error(fmt::format("ezgitar-cli: {}: {}\n", input, refusalText(*refused)));
      report.outcome = Outcome::Failed;
      return;
    }
  }
  const CopyEdits* tempoEdits = tempo ? &*tempo : nullptr;
  // Neither name changes until both copies are complete.
  std::unique_ptr<SafeFile> out13, out24;
  if (Status failed = openPair(names, out13, out24))
    return fail(*failed, trf("cannot write {}: {}", failed->detail, describe(*failed)));
  ChangeList changes13, changes24;
  SplitCheck found;
  if (Status failed =
          makeBothCopies(in, tempoEdits, *out13, *out24, changes13, changes24, found, !report.mayCommitLater()))
    return fail(*failed, describe(*failed));
  // Read and checked: replacing the pair needs a descriptor or two of its own.
  const std::uint64_t size = in.size();
  in.close();
  const SplitNames said{input, utf8Of(names[0]), utf8Of(names[1])};
  commitPair(input, std::move(out13), std::move(out24), size, report,
             [said, found, tempoPercent = choice.tempoPercent](FileReport& told) {
               told.info(withTempo(splitSummary(said, found), tempoPercent));
               for (const std::string& warning : splitWarnings(said, found)) {
                 told.error(warning);
                 told.outcome = Outcome::Warned;
               }
             });
}

}  // namespace

int runSplit(const CommandLine& line) {
  std::optional<fs::path> outDir;
  if (line.output) outDir = pathOf(*line.output);
  SplitChoice choice;
  choice.tempoPercent = line.tempoPercent;
  if (line.splitBy != "packet")
    choice.byEvents =
        EventSplitOptions{line.splitBy == "bar" ? SplitUnit::Bar : SplitUnit::Note, line.every, line.tempoPercent};
  return runBatch(
      line, [&](const std::string& input) { return splitOutputs(input, outDir); },
      [&](const std::string& input, FileReport& report) { splitOne(input, outDir, choice, report); });
}

}  // namespace ezg::cli
