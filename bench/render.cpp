// Rendering a five-minute makam melody to WAV: seconds of sound for each
// second of processor time, the figure `ezgitar-cli render` is measured by.
#include <benchmark/benchmark.h>

#include <ctime>

#include "fixtures/midi_builder.h"
#include "files/sink.h"
#include "sound/player.h"
#include "sound/timeline.h"

namespace {

// Counts what a WAV would hold, and holds nothing.
class CountingSink final : public ezg::ByteSink {
 public:
  void write(std::string_view bytes) override { size_ += bytes.size(); }
  void patch(std::uint64_t, std::uint8_t) override {}
  std::size_t size() const { return size_; }

 private:
  std::size_t size_ = 0;
};

const ezg::Bytes& fiveMinutes() {
  static const ezg::Bytes file = [] {
    // Notes of 120 to 480 ticks at 960 ticks a second: about a quarter of a
    // second each, so 960 of them make five minutes.
    std::vector<ezg::build::Note> notes = ezg::build::makamMelody(960, 31);
    ezg::Bytes bytes = ezg::build::makeMidi(notes, 480);
    return bytes;
  }();
  return file;
}

double processorSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

void BM_RenderFiveMinutes(benchmark::State& state) {
  if (ezg::sound::canRender({})) {
    state.SkipWithError("no SoundFont: tools/install-deps installs timgm6mb-soundfont");
    return;
  }
  const double music = static_cast<double>(ezg::sound::timelineOf(fiveMinutes()).end) / 1e9;
  double audio = 0, cpu = 0;
  for (auto _ : state) {
    CountingSink wav;
    const double before = processorSeconds();
    if (ezg::sound::renderWav(fiveMinutes(), {}, wav)) state.SkipWithError("render failed");
    cpu += processorSeconds() - before;
    audio += static_cast<double>(wav.size() - 44) / (ezg::sound::kSampleRate * 4.0);
  }
  state.counters["music_s"] = music;
  state.counters["audio_s_per_cpu_s"] = audio / cpu;
}
BENCHMARK(BM_RenderFiveMinutes)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
