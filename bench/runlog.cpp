// The run log at sizes far past what years of use make: load at start-up,
// save at shutdown, through the same code and the same safe write.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "app/platform.h"
#include "app/run_log.h"
#include "files/safe_write.h"

namespace {

namespace fs = std::filesystem;

// The real files and clock; the run log asks for nothing else.
class Files final : public ezg::FsPlatform {
 public:
  char decimalSeparator() override { return '.'; }
  std::string programFolder() override { return "."; }
};

void BM_RunLogLoadAndSave(benchmark::State& state) {
  const auto records = static_cast<std::size_t>(state.range(0));
  const fs::path dir = fs::temp_directory_path() / "ezgitar-bench-runlog";
  fs::create_directories(dir);
  const std::string log(records * ezg::kRunRecordSize, '\x11');
  Files platform;
  platform.setCurrentFolder(dir.string());
  for (auto _ : state) {
    state.PauseTiming();
    if (ezg::writeFileSafely(dir / "pars.bin", log)) state.SkipWithError("cannot write the log");
    state.ResumeTiming();
    ezg::RunLog runLog;
    if (runLog.loadAndAppend(platform, "pars.bin")) state.SkipWithError("load failed");
    if (runLog.save(platform)) state.SkipWithError("save failed");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * records));
  fs::remove_all(dir);
}
BENCHMARK(BM_RunLogLoadAndSave)->Arg(32766)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
