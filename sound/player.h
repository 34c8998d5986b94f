// Listening to a MIDI file: a player on the system's audio output, and a
// renderer to a WAV file. One interface, a source per system:
// system-fluidsynth.cpp (a software synthesizer with a General MIDI
// SoundFont) and system-winmm.cpp (Windows' own MIDI synthesizer, which
// cannot render).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "files/sink.h"

namespace ezg::sound {

enum class SoundTrouble {
  NoSoundFont,    // the SoundFont file is not there
  BadSoundFont,   // it is there, but the synthesizer cannot load it
  NoAudioOutput,  // no audio device could be opened
  NoMidiOutput,   // the system's MIDI output could not be opened
  CannotRender,   // this build has no synthesizer to render with
  NoSynthesizer,  // the synthesizer could not be started
};

struct SoundFailure {
  SoundTrouble what = SoundTrouble::NoSynthesizer;
  std::string detail;  // the SoundFont's path, where there is one
  bool operator==(const SoundFailure&) const = default;
};
using SoundStatus = std::optional<SoundFailure>;

// Where the sound comes from. An empty SoundFont means the one the
// environment variable EZGITAR_SOUNDFONT names, else the system's own.
struct SoundOptions {
  std::string soundFont;
};

// The SoundFont a player or render would use with these options, "" where
// the build needs none.
std::string soundFontFor(const SoundOptions& options);

// The environment variable a user names a SoundFont with.
inline constexpr const char* kSoundFontVariable = "EZGITAR_SOUNDFONT";
// Where the build plays with a SoundFont, the one it takes by default:
// Debian's timgm6mb-soundfont, small, complete and tuned well enough for
// the intervals to be heard as written.
inline constexpr const char* kSystemSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

class Player {
 public:
  virtual ~Player() = default;
  // Stops what is playing and starts `file` from its beginning; returns at
  // once. Nothing plays after a failure.
  [[nodiscard]] virtual SoundStatus play(std::span<const std::uint8_t> file) = 0;
  // Silences at once; harmless when nothing plays.
  virtual void stop() = 0;
  // Waits until the piece has been played to its end (true) or `limit` has
  // passed (false); true at once when nothing plays.
  virtual bool waitForEnd(std::chrono::milliseconds limit) = 0;
};

// The system's player. Nothing is opened until the first play().
std::unique_ptr<Player> makePlayer(const SoundOptions& options);

// The WAV format written: 44.1 kHz, 16 bits, stereo.
inline constexpr int kSampleRate = 44'100;
inline constexpr int kChannels = 2;

// Whether renderWav() can work with these options: this build's
// synthesizer renders, and the SoundFont is there.
[[nodiscard]] SoundStatus canRender(const SoundOptions& options);

// Renders `file` into `out` as a WAV file, as fast as the synthesizer
// goes, with the release of the last notes. A failure of `out` is `out`'s
// to tell.
[[nodiscard]] SoundStatus renderWav(std::span<const std::uint8_t> file, const SoundOptions& options, ByteSink& out);

}  // namespace ezg::sound
