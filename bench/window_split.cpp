// The window's own cost per pair of packets (strip copy and immediate
// repaint, plus its share of the split) against the pause it makes after
// each pair: 10,000 event pump passes. The first must stay a few per cent
// of the second.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <filesystem>
#include <cstdlib>

#include "app/qt/form1_window.h"
#include "app/qt/qt_platform.h"
#include "files/safe_write.h"
#include "splitter/note_splitter.h"
#include "fixtures/midi_builder.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kNotes = 2050;  // 1,025 pairs: the strip's whole travel

struct Folder {
  fs::path dir = fs::temp_directory_path() / "ezgitar-bench-window-split";
  Folder() {
    fs::create_directories(dir);
    auto bytes = ezg::build::makeMidi(ezg::build::makamMelody(kNotes, 5));
    if (ezg::writeFileSafely(dir / "song.mid", ezg::asChars(bytes)) || ezg::writeFileSafely(dir / "pars.bin", ""))
      std::abort();
  }
  ~Folder() { fs::remove_all(dir); }
};

// The real window whose pump does nothing, so what is timed is the window.
class NoPause final : public ezg::Form1Window {
 public:
  using Form1Window::Form1Window;
  void pumpEvents() override {}
};

void BM_WindowCostPerPair(benchmark::State& state) {
  Folder folder;
  ezg::QtPlatform platform(folder.dir.string());
  NoPause window(platform);
  if (!window.form().startUp()) state.SkipWithError("start-up ended early");
  window.show();
  QApplication::processEvents();
  window.List_MID->setCurrentRow(0);
  for (auto _ : state) window.Command3->click();
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kNotes / 2));
  state.counters["us_per_pair"] =
      benchmark::Counter(static_cast<double>(state.iterations() * kNotes / 2),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}
BENCHMARK(BM_WindowCostPerPair)->Unit(benchmark::kMillisecond);

void BM_PausePerPair(benchmark::State& state) {
  QWidget shown;
  shown.resize(367, 466);
  shown.show();
  for (auto _ : state)
    for (int pass = 0; pass < ezg::kPausePumpPasses; ++pass) QCoreApplication::processEvents();
}
BENCHMARK(BM_PausePerPair)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
