// The split core without the window's pause, on an 8 MB melody.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "tests/support/split_check.h"
#include "splitter/event_split.h"
#include "splitter/note_splitter.h"
#include "splitter/strip.h"
#include "fixtures/midi_builder.h"

namespace {

const ezg::FileBuffer& melody8MB() {
  static const ezg::FileBuffer file = [] {
    constexpr std::size_t kTarget = 8u << 20;
    // 12 or 13 bytes a note, by its length: a twelfth of the target in
    // notes passes 8 MB, then cut there.
    ezg::Bytes bytes = ezg::build::makeMidi(ezg::build::makamMelody(kTarget / 12, 2026));
    bytes.resize(kTarget);
    return ezg::FileBuffer(std::move(bytes));
  }();
  return file;
}

// Every run on fresh memory, as a single Start: the figure includes the
// page faults of both 8 MB copies.
void BM_Split(benchmark::State& state) {
  const ezg::FileBuffer& file = melody8MB();
  for (auto _ : state) {
    for (ezg::SplitCopy which : {ezg::SplitCopy::Copy13, ezg::SplitCopy::Copy24}) {
      const ezg::Bytes copy = ezg::splitOneCopy(file, which);
      benchmark::DoNotOptimize(copy.data());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * file.length());
}
BENCHMARK(BM_Split)->Unit(benchmark::kMillisecond);

// As the command line splits: both copies streamed straight to their
// outputs (here sinks that only count), nothing held.
struct CountingSink final : ezg::ByteSink {
  std::size_t bytes = 0;
  void write(std::string_view b) override { bytes += b.size(); }
  void patch(std::uint64_t, std::uint8_t) override {}
};
void BM_StreamSplit(benchmark::State& state) {
  const ezg::FileBuffer& file = melody8MB();
  for (auto _ : state) {
    for (ezg::SplitCopy which : {ezg::SplitCopy::Copy13, ezg::SplitCopy::Copy24}) {
      CountingSink out;
      std::span<const std::uint8_t> rest = file.span();
      ezg::streamCopy(
          [&](std::span<std::uint8_t> into) {
            const std::size_t n = std::min(into.size(), rest.size());
            std::copy_n(rest.begin(), n, into.begin());
            rest = rest.subspan(n);
            return n;
          },
          which, out);
      benchmark::DoNotOptimize(out.bytes);
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * file.length());
}
BENCHMARK(BM_StreamSplit)->Unit(benchmark::kMillisecond);

// The split by bar as the command line makes it: one pass over the events
// plans both copies, then each is the input streamed through its edits.
void BM_BarSplit(benchmark::State& state) {
  const ezg::FileBuffer& file = melody8MB();
  for (auto _ : state) {
    ezg::EventSplitPlan plan;
    if (ezg::planEventSplit(file.span(), {ezg::SplitUnit::Bar, 1, 0}, plan)) state.SkipWithError("refused");
    for (const ezg::CopyEdits* edits : {&plan.copy13, &plan.copy24}) {
      CountingSink out;
      ezg::EditedSink edited(*edits, out);
      for (std::size_t at = 0; at < file.raw().size(); at += std::size_t{1} << 16)
        edited.write(ezg::asChars(file.span().subspan(at, std::min(std::size_t{1} << 16, file.raw().size() - at))));
      edited.finish();
      benchmark::DoNotOptimize(out.bytes);
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * file.length());
}
BENCHMARK(BM_BarSplit)->Unit(benchmark::kMillisecond);

void BM_Scan(benchmark::State& state) {
  const ezg::FileBuffer& file = melody8MB();
  for (auto _ : state) benchmark::DoNotOptimize(ezg::scanPackets(file.span(), [](const ezg::Packet&, bool) {}));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * file.length());
}
BENCHMARK(BM_Scan)->Unit(benchmark::kMillisecond);

// What the command line adds to a split: both copies held against the
// input, which is read once more as events.
void BM_CheckSplit(benchmark::State& state) {
  const ezg::FileBuffer& file = melody8MB();
  const ezg::Bytes copy13 = ezg::splitOneCopy(file, ezg::SplitCopy::Copy13);
  const ezg::Bytes copy24 = ezg::splitOneCopy(file, ezg::SplitCopy::Copy24);
  for (auto _ : state) {
    const ezg::SplitCheck found = ezg::testing::checkSplit(file.span(), copy13, copy24);
    benchmark::DoNotOptimize(found.copy13.silencedNotes + found.copy24.silencedNotes);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * file.length());
}
BENCHMARK(BM_CheckSplit)->Unit(benchmark::kMillisecond);

void BM_StripRow(benchmark::State& state) {
  std::int64_t i = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ezg::stripSourceRow(i));
    i = i < 2049 ? i + 2 : 1;
  }
}
BENCHMARK(BM_StripRow);

}  // namespace

BENCHMARK_MAIN();
