// Sound on Linux: a software synthesizer (FluidSynth) playing a General
// MIDI SoundFont, to the audio device or, rendered, to a WAV file.
#include <alsa/asoundlib.h>
#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "sound/paced_player.h"
#include "sound/player.h"
#include "sound/timeline.h"

namespace ezg::sound {
namespace {

// Read by the player only: the sound goes into this file, as raw 16-bit
// stereo at the pace of a real device, instead of to the device. For
// checking the window's playing where no audio device is.
constexpr const char* kAudioFileVariable = "EZGITAR_AUDIO_FILE";

// Tried in turn: ALSA's default device reaches PulseAudio and PipeWire
// too where their plugins are installed; the servers' own drivers next.
constexpr std::array<const char*, 3> kAudioDrivers = {"alsa", "pulseaudio", "pipewire"};

// How long the last notes may ring after the piece, and the reverb after
// them.
constexpr int kLongestTailSeconds = 10;
constexpr int kReverbTailFrames = kSampleRate / 2;

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

extern "C" void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

// The synthesizer's and the sound system's own messages are not for our
// users: a failure is told by the caller, in the caller's words.
void quietLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
      fluid_set_log_function(level, nullptr, nullptr);
    snd_lib_error_set_handler(quietAlsa);
  });
}

struct SettingsDeleter {
  void operator()(fluid_settings_t* s) const { delete_fluid_settings(s); }
};
struct SynthDeleter {
  void operator()(fluid_synth_t* s) const { delete_fluid_synth(s); }
};
struct DriverDeleter {
  void operator()(fluid_audio_driver_t* d) const { delete_fluid_audio_driver(d); }
};
using Settings = std::unique_ptr<fluid_settings_t, SettingsDeleter>;
using Synth = std::unique_ptr<fluid_synth_t, SynthDeleter>;
using Driver = std::unique_ptr<fluid_audio_driver_t, DriverDeleter>;

// The synthesizer's own pitch-wheel modulator bends 12,700 cents times the
// RPN 0 range over 128, so a range of 2 semitones bends 198.4 cents, not
// 200: 0.7 cents short at 4 komas, 9 at an octave, which the measured
// intervals show. A second modulator on the same two sources adds the
// missing 100 cents over 128 per semitone of range.
void exactBendRange(fluid_synth_t* synth) {
  fluid_mod_t* bend = new_fluid_mod();
  if (!bend) return;
  fluid_mod_set_source1(bend, FLUID_MOD_PITCHWHEEL,
                        FLUID_MOD_GC | FLUID_MOD_LINEAR | FLUID_MOD_BIPOLAR | FLUID_MOD_POSITIVE);
  fluid_mod_set_source2(bend, FLUID_MOD_PITCHWHEELSENS,
                        FLUID_MOD_GC | FLUID_MOD_LINEAR | FLUID_MOD_UNIPOLAR | FLUID_MOD_POSITIVE);
  fluid_mod_set_dest(bend, GEN_PITCH);
  fluid_mod_set_amount(bend, 100);
  fluid_synth_add_default_mod(synth, bend, FLUID_SYNTH_ADD);
  delete_fluid_mod(bend);
}

// A synthesizer with the SoundFont loaded.
SoundStatus startSynth(const SoundOptions& options, bool live, Settings& settings, Synth& synth) {
  quietLibrary();
  const std::string font = soundFontFor(options);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(font, ec)) return SoundFailure{SoundTrouble::NoSoundFont, font};
  settings.reset(new_fluid_settings());
  if (!settings) return SoundFailure{SoundTrouble::NoSynthesizer, font};
  fluid_settings_setnum(settings.get(), "synth.sample-rate", kSampleRate);
  // A render runs on one thread; the live synthesizer is fed from the
  // pacing thread while the audio driver's thread renders.
  fluid_settings_setint(settings.get(), "synth.threadsafe-api", live ? 1 : 0);
  synth.reset(new_fluid_synth(settings.get()));
  if (!synth) return SoundFailure{SoundTrouble::NoSynthesizer, font};
  exactBendRange(synth.get());
  if (fluid_synth_sfload(synth.get(), font.c_str(), 1) == FLUID_FAILED)
    return SoundFailure{SoundTrouble::BadSoundFont, font};
  return std::nullopt;
}

// Pitch bends go in as the file gives them; the synthesizer applies the
// bend range that RPN 0 (controllers 101, 100, 6 and 38) sets per channel.
void sendTo(fluid_synth_t* synth, const TimedMessage& m) {
  const int channel = m.status & 0x0F;
  switch (m.status >> 4) {
    case 0x8: fluid_synth_noteoff(synth, channel, m.data1); break;
    case 0x9:
      // A velocity of 0 is a note-off, as in the silenced copies.
      if (m.data2 == 0)
        fluid_synth_noteoff(synth, channel, m.data1);
      else
        fluid_synth_noteon(synth, channel, m.data1, m.data2);
      break;
    case 0xA: fluid_synth_key_pressure(synth, channel, m.data1, m.data2); break;
    case 0xB: fluid_synth_cc(synth, channel, m.data1, m.data2); break;
    case 0xC: fluid_synth_program_change(synth, channel, m.data1); break;
    case 0xD: fluid_synth_channel_pressure(synth, channel, m.data1); break;
    case 0xE: fluid_synth_pitch_bend(synth, channel, m.data1 | m.data2 << 7); break;
    default: break;
  }
}

// The live output: the synthesizer and an audio driver that pulls from it.
class FluidOutput final : public MessageOutput {
 public:
  FluidOutput(fluid_synth_t* synth, Driver driver) : synth_(synth), driver_(std::move(driver)) {}
  void send(const TimedMessage& message) override { sendTo(synth_, message); }
  void silence() override { fluid_synth_all_sounds_off(synth_, -1); }

 private:
  fluid_synth_t* synth_;
  Driver driver_;  // closes the device when the output goes
};

Driver openDriver(fluid_settings_t* settings, fluid_synth_t* synth) {
  if (const std::string file = environment(kAudioFileVariable); !file.empty()) {
    fluid_settings_setstr(settings, "audio.driver", "file");
    fluid_settings_setstr(settings, "audio.file.name", file.c_str());
    fluid_settings_setstr(settings, "audio.file.type", "raw");
    return Driver(new_fluid_audio_driver(settings, synth));
  }
  for (const char* name : kAudioDrivers) {
    if (fluid_settings_setstr(settings, "audio.driver", name) == FLUID_FAILED) continue;
    if (Driver driver{new_fluid_audio_driver(settings, synth)}) return driver;
  }
  return nullptr;
}

// The SoundFont is loaded once, at the first play, and kept for the next.
struct LiveSynth {
  SoundOptions options;
  Settings settings;
  Synth synth;

  SoundStatus open(std::unique_ptr<MessageOutput>& out) {
    if (!synth) {
      if (SoundStatus failed = startSynth(options, true, settings, synth)) {
        synth.reset();
        return failed;
      }
    }
    // Controllers, bend ranges and programs as at power-on: nothing of the
    // piece before carries over.
    fluid_synth_system_reset(synth.get());
    Driver driver = openDriver(settings.get(), synth.get());
    if (!driver) return SoundFailure{SoundTrouble::NoAudioOutput, {}};
    out = std::make_unique<FluidOutput>(synth.get(), std::move(driver));
    return std::nullopt;
  }
};

void putLittleEndian(std::string& to, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) to.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
}

std::string wavHeader(std::uint32_t dataBytes) {
  std::string h = "RIFF";
  putLittleEndian(h, 36 + dataBytes, 4);
  h += "WAVEfmt ";
  putLittleEndian(h, 16, 4);
  putLittleEndian(h, 1, 2);  // PCM
  putLittleEndian(h, kChannels, 2);
  putLittleEndian(h, kSampleRate, 4);
  putLittleEndian(h, kSampleRate * kChannels * 2, 4);
  putLittleEndian(h, kChannels * 2, 2);
  putLittleEndian(h, 16, 2);
  h += "data";
  putLittleEndian(h, dataBytes, 4);
  return h;
}

// Renders frames in blocks into the WAV's data, and counts them.
class WavWriter {
 public:
  WavWriter(fluid_synth_t* synth, ByteSink& out) : synth_(synth), out_(out) { out_.write(wavHeader(0)); }

  void renderTo(std::int64_t frame) {
    while (frames_ < frame) {
      const int n = static_cast<int>(std::min<std::int64_t>(frame - frames_, kBlockFrames));
      fluid_synth_write_s16(synth_, n, samples_.data(), 0, 2, samples_.data(), 1, 2);
      bytes_.clear();
      for (int i = 0; i < n * kChannels; ++i)
        putLittleEndian(bytes_, static_cast<std::uint16_t>(samples_[static_cast<std::size_t>(i)]), 2);
      out_.write(bytes_);
      frames_ += n;
    }
  }
  std::int64_t frames() const { return frames_; }

  // The sizes, now that they are known. Beyond 4 GiB of samples they stay
  // at the largest a WAV file can say.
  void finish() {
    const auto data =
        static_cast<std::uint32_t>(std::min<std::int64_t>(frames_ * kChannels * 2, std::int64_t{0xFFFFFFFF} - 36));
    const std::string header = wavHeader(data);
    for (std::uint64_t at : {4u, 40u, 41u, 42u, 43u, 5u, 6u, 7u}) out_.patch(at, static_cast<std::uint8_t>(header[at]));
  }

 private:
  static constexpr int kBlockFrames = 4096;
  fluid_synth_t* synth_;
  ByteSink& out_;
  std::array<std::int16_t, kBlockFrames * kChannels> samples_{};
  std::string bytes_;
  std::int64_t frames_ = 0;
};

std::int64_t frameAt(std::int64_t nanos) {
  return static_cast<std::int64_t>(std::llround(static_cast<double>(nanos) * kSampleRate / 1e9));
}

}  // namespace

std::string soundFontFor(const SoundOptions& options) {
  if (!options.soundFont.empty()) return options.soundFont;
  if (std::string named = environment(kSoundFontVariable); !named.empty()) return named;
  return kSystemSoundFont;
}

SoundStatus canRender(const SoundOptions& options) {
  const std::string font = soundFontFor(options);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(font, ec)) return SoundFailure{SoundTrouble::NoSoundFont, font};
  return std::nullopt;
}

std::unique_ptr<Player> makePlayer(const SoundOptions& options) {
  auto live = std::make_shared<LiveSynth>();
  live->options = options;
  return std::make_unique<PacedPlayer>([live](std::unique_ptr<MessageOutput>& out) { return live->open(out); });
}

SoundStatus renderWav(std::span<const std::uint8_t> file, const SoundOptions& options, ByteSink& out) {
  Settings settings;
  Synth synth;
  if (SoundStatus failed = startSynth(options, false, settings, synth)) return failed;
  const Timeline timeline = timelineOf(file);
  WavWriter wav(synth.get(), out);
  // Each message at its own sample frame, to within the synthesizer's
  // block of 64 frames (1.5 ms).
  for (const TimedMessage& m : timeline.messages) {
    wav.renderTo(frameAt(m.at));
    sendTo(synth.get(), m);
  }
  wav.renderTo(frameAt(timeline.end));
  const std::int64_t longest = wav.frames() + std::int64_t{kLongestTailSeconds} * kSampleRate;
  while (fluid_synth_get_active_voice_count(synth.get()) > 0 && wav.frames() < longest)
    wav.renderTo(wav.frames() + kSampleRate / 10);
  wav.renderTo(wav.frames() + kReverbTailFrames);
  wav.finish();
  return std::nullopt;
}

}  // namespace ezg::sound
