// The split core without the window's pause, on an 8 MB melody.
#include <benchmark/benchmark.h>

#include "splitter/copy_check.h"
#include "splitter/note_splitter.h"
#include "splitter/strip.h"
#include "tools/midi_builder.h"

namespace {

const ezg::FileBuffer& melody8MB() {
  static const ezg::FileBuffer file = [] {
    constexpr std::size_t kTarget = 8u << 20;
    // About 13 bytes a note: enough notes to pass 8 MB, then cut there.
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
  std::size_t packets = 0;
  for (auto _ : state) {
    ezg::SplitCopies r = ezg::splitNotes(file);
    packets = static_cast<std::size_t>(r.packetCount);
    benchmark::DoNotOptimize(r.copy13.data());
    benchmark::DoNotOptimize(r.copy24.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * file.length());
  state.counters["packets"] = static_cast<double>(packets);
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
    CountingSink out13, out24;
    benchmark::DoNotOptimize(ezg::streamSplit(file.span(), out13, out24));
    benchmark::DoNotOptimize(out13.bytes + out24.bytes);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * file.length());
}
BENCHMARK(BM_StreamSplit)->Unit(benchmark::kMillisecond);

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
  const ezg::SplitCopies copies = ezg::splitNotes(file);
  for (auto _ : state) {
    const ezg::SplitCheck found = ezg::checkSplit(file.span(), copies.copy13, copies.copy24);
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
