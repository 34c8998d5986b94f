// ezgitar-cli render: each file as <name>.wav; ezgitar-cli play: one file
// on the audio output.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include <fmt/format.h>

#include "cli/batch.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/failure_text.h"
#include "cli/language.h"
#include "files/midi_names.h"
#include "files/read_file.h"
#include "files/safe_write.h"
#include "files/utf8_path.h"
#include "midi/bytes.h"
#include "sound/player.h"

namespace fs = std::filesystem;

namespace ezg::cli {
namespace {

// How long the last notes ring once the piece has ended.
constexpr auto kRingOut = std::chrono::milliseconds(1500);

std::string describeSound(const sound::SoundFailure& failure) {
  using sound::SoundTrouble;
  switch (failure.what) {
    case SoundTrouble::NoSoundFont:
      return trf("no SoundFont at {} (install timgm6mb-soundfont, or name one with --soundfont or {})", failure.detail,
                 sound::kSoundFontVariable);
    case SoundTrouble::BadSoundFont: return trf("{} is not a SoundFont the synthesizer can load", failure.detail);
    case SoundTrouble::NoAudioOutput: return tr("no audio output could be opened");
    case SoundTrouble::NoMidiOutput: return tr("the system's MIDI output could not be opened");
    case SoundTrouble::CannotRender:
      return tr("render is not available on Windows: its synthesizer plays a file but cannot write the sound down");
    case SoundTrouble::NoSynthesizer: break;
  }
  return tr("the synthesizer could not be started");
}

sound::SoundOptions soundOptions(const CommandLine& line) { return {line.soundFont ? *line.soundFont : ""}; }

fs::path wavTarget(const std::string& input, const std::optional<fs::path>& outDir) {
  const fs::path path = pathOf(input);
  return (outDir ? *outDir : path.parent_path()) / pathOf(baseNameOf(utf8Of(path.filename())) + ".wav");
}

void renderOne(const std::string& input, const std::optional<fs::path>& outDir, const sound::SoundOptions& options,
               FileReport& report) {
  Bytes bytes;
  if (Status failed = readWholeFile(pathOf(input), bytes))
    return report.fail(*failed, fmt::format("ezgitar-cli: {}: {}\n", input, describe(*failed)));
  const fs::path target = wavTarget(input, outDir);
  SafeFile out(target);
  Status failed = out.status();
  if (!failed) {
    if (sound::SoundStatus cannot = sound::renderWav(bytes, options, out)) {
      report.error(fmt::format("ezgitar-cli: {}: {}\n", input, describeSound(*cannot)));
      report.outcome = Outcome::Failed;
      return;
    }
    failed = out.commit();
  }
  if (failed)
    return report.fail(*failed, fmt::format("ezgitar-cli: {}: {}\n", input,
                                            trf("cannot write {}: {}", utf8Of(target), describe(*failed))));
  report.info(fmt::format("{} -> {}\n", input, utf8Of(target)));
}

// The player that a run ended early silences before it ends.
std::atomic<sound::Player*> gPlaying{nullptr};

void silencePlaying() {
  if (sound::Player* player = gPlaying.load()) player->stop();
}

}  // namespace

int runRender(const CommandLine& line) {
  const sound::SoundOptions options = soundOptions(line);
  // Told once, not once a file.
  if (sound::SoundStatus cannot = sound::canRender(options)) {
    std::fputs(fmt::format("ezgitar-cli: render: {}\n", describeSound(*cannot)).c_str(), stderr);
    return kExitFailure;
  }
  std::optional<fs::path> outDir;
  if (line.output) outDir = pathOf(*line.output);
  return runBatch(
      line, [&](const std::string& input) { return std::vector<fs::path>{wavTarget(input, outDir)}; },
      [&](const std::string& input, FileReport& report) { renderOne(input, outDir, options, report); });
}

int runPlay(const CommandLine& line) {
  if (line.inputs.size() != 1) {
    std::fputs(fmt::format("ezgitar-cli: play: {} {}\n", tr("one file at a time"),
                           trf("(try '{}')", "ezgitar-cli play --help"))
                   .c_str(),
               stderr);
    return kExitFailure;
  }
  const std::string& input = line.inputs.front();
  Bytes bytes;
  if (Status failed = readWholeFile(pathOf(input), bytes)) {
    std::fputs(shownLine(fmt::format("ezgitar-cli: {}: {}\n", input, describe(*failed))).c_str(), stderr);
    return kExitFailure;
  }
  std::unique_ptr<sound::Player> player = sound::makePlayer(soundOptions(line));
  gPlaying.store(player.get());
  silenceWhenEnding(silencePlaying);
  if (sound::SoundStatus cannot = player->play(bytes)) {
    gPlaying.store(nullptr);
    std::fputs(shownLine(fmt::format("ezgitar-cli: {}: {}\n", input, describeSound(*cannot))).c_str(), stderr);
    return kExitFailure;
  }
  if (!line.quiet) {
    std::fputs(shownLine(trf("Playing {}; Ctrl+C stops.", input) + "\n").c_str(), stderr);
    std::fflush(stderr);
  }
  while (!player->waitForEnd(std::chrono::seconds(1))) {}
  std::this_thread::sleep_for(kRingOut);
  gPlaying.store(nullptr);
  player->stop();
  return kExitOk;
}

}  // namespace ezg::cli
