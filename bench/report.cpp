// The text report and the test run over an 8 MB file built in code.
#include <benchmark/benchmark.h>

#include <string>

#include "files/sink.h"
#include "report/report.h"
#include "testrun/test_run.h"
#include "fixtures/midi_builder.h"

namespace {

constexpr std::size_t kInputBytes = 8u << 20;

// A long melody: notes, bends, delta times and meta events, as real files.
const ezg::FileBuffer& input() {
  static const ezg::FileBuffer file = [] {
    ezg::Bytes bytes = ezg::build::makeMidi(ezg::build::makamMelody(kInputBytes / 15, 42));
    bytes.resize(kInputBytes, 0x00);
    return ezg::FileBuffer(std::move(bytes));
  }();
  return file;
}

// Takes the report and keeps only its size.
class CountingSink final : public ezg::ByteSink {
 public:
  void write(std::string_view bytes) override { total += bytes.size(); }
  void patch(std::uint64_t, std::uint8_t) override {}
  std::size_t total = 0;
};

void BM_ReportToCountingSink(benchmark::State& state) {
  const auto& file = input();
  std::size_t reportBytes = 0;
  for (auto _ : state) {
    CountingSink sink;
    benchmark::DoNotOptimize(ezg::TxtYaz(file, "song.txt", ezg::standardNoteNames(), '.', sink, {}));
    reportBytes = sink.total;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * file.length());
  state.counters["report_MB"] = static_cast<double>(reportBytes) / 1e6;
}
BENCHMARK(BM_ReportToCountingSink)->Unit(benchmark::kMillisecond);

// Keeps the whole report in memory. Its buffer is kept between runs: the
// first touch of ~290 MB of fresh pages costs far more than the report.
class ReusedMemorySink final : public ezg::ByteSink {
 public:
  void write(std::string_view bytes) override { data.append(bytes); }
  void patch(std::uint64_t offset, std::uint8_t value) override { data[offset] = static_cast<char>(value); }
  std::string data;
};

void BM_ReportToMemorySink(benchmark::State& state) {
  const auto& file = input();
  ReusedMemorySink sink;
  ezg::TxtYaz(file, "song.txt", ezg::standardNoteNames(), '.', sink, {});  // grow the buffer once
  for (auto _ : state) {
    sink.data.clear();
    benchmark::DoNotOptimize(ezg::TxtYaz(file, "song.txt", ezg::standardNoteNames(), '.', sink, {}));
    benchmark::DoNotOptimize(sink.data.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * file.length());
}
BENCHMARK(BM_ReportToMemorySink)->Unit(benchmark::kMillisecond);

void BM_TestRun(benchmark::State& state) {
  const auto& file = input();
  for (auto _ : state) benchmark::DoNotOptimize(ezg::TestEt(file, {}));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * file.length());
}
BENCHMARK(BM_TestRun)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
