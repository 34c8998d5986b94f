// Window start-up to first paint with a folder of 2,000 MIDI files: the
// folder scan, the list fill, the run log and the first paint together.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <filesystem>
#include <cstdlib>

#include "app/qt/form1_window.h"
#include "app/qt/qt_platform.h"
#include "files/read_file.h"
#include "files/safe_write.h"
#include "fixtures/midi_builder.h"

namespace {

namespace fs = std::filesystem;

struct PaintWatch : QObject {
  bool painted = false;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) painted = true;
    return false;
  }
};

fs::path stageFolder(int files) {
  fs::path dir = fs::temp_directory_path() / ("ezgitar-bench-startup-" + std::to_string(files));
  if (fs::exists(dir / "pars.bin")) return dir;
  fs::create_directories(dir);
  auto bytes = ezg::build::makeMidi(ezg::build::makamMelody(32, 1));
  for (int i = 0; i < files; ++i)
    if (ezg::writeFileSafely(dir / ("parça " + std::to_string(i) + ".mid"), ezg::asChars(bytes))) std::abort();
  if (ezg::writeFileSafely(dir / "pars.bin", "")) std::abort();
  return dir;
}

void BM_StartUpToFirstPaint(benchmark::State& state) {
  const fs::path dir = stageFolder(static_cast<int>(state.range(0)));
  ezg::Bytes log;
  if (ezg::readWholeFile(dir / "pars.bin", log)) std::abort();
  for (auto _ : state) {
    ezg::QtPlatform platform(dir.string());
    QElapsedTimer clock;
    clock.start();
    ezg::Form1Window window(platform);
    PaintWatch watch;
    window.installEventFilter(&watch);
    if (!window.form().startUp()) state.SkipWithError("start-up ended early");
    window.show();
    while (!watch.painted) QApplication::processEvents();
    state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    state.PauseTiming();
    window.hide();
    state.ResumeTiming();
  }
  // Each run appended a record; keep the staged log as it was.
  if (ezg::writeFileSafely(dir / "pars.bin", ezg::asChars(log))) std::abort();
}
BENCHMARK(BM_StartUpToFirstPaint)
    ->Arg(2000)
    ->Arg(20000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
