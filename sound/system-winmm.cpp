// Sound on Windows: the system's own MIDI synthesizer through winmm. It
// plays the file's messages as they come, but has no way to render them.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <mmsystem.h>

#include "sound/paced_player.h"
#include "sound/player.h"

namespace ezg::sound {
namespace {

constexpr std::uint8_t kControlChange = 0xB0;
constexpr std::uint8_t kAllSoundOff = 120;
constexpr std::uint8_t kResetControllers = 121;

class WinmmOutput final : public MessageOutput {
 public:
  explicit WinmmOutput(HMIDIOUT out) : out_(out) {
    // Waits end to the millisecond, not to the scheduler's 15.6 ms tick.
    timeBeginPeriod(1);
  }
  ~WinmmOutput() override {
    midiOutReset(out_);
    midiOutClose(out_);
    timeEndPeriod(1);
  }
  WinmmOutput(const WinmmOutput&) = delete;
  WinmmOutput& operator=(const WinmmOutput&) = delete;

  void send(const TimedMessage& m) override { midiOutShortMsg(out_, word(m.status, m.data1, m.data2)); }
  void silence() override {
    for (std::uint8_t channel = 0; channel < 16; ++channel) {
      midiOutShortMsg(out_, word(kControlChange | channel, kAllSoundOff, 0));
      midiOutShortMsg(out_, word(kControlChange | channel, kResetControllers, 0));
    }
  }

 private:
  static DWORD word(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    return DWORD{status} | DWORD{data1} << 8 | DWORD{data2} << 16;
  }
  HMIDIOUT out_;
};

SoundStatus openMidiOut(std::unique_ptr<MessageOutput>& out) {
  HMIDIOUT handle = nullptr;
  if (midiOutOpen(&handle, MIDI_MAPPER, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR)
    return SoundFailure{SoundTrouble::NoMidiOutput, {}};
  out = std::make_unique<WinmmOutput>(handle);
  return std::nullopt;
}

}  // namespace

// The system's synthesizer brings its own sounds.
std::string soundFontFor(const SoundOptions&) { return {}; }

std::unique_ptr<Player> makePlayer(const SoundOptions&) { return std::make_unique<PacedPlayer>(openMidiOut); }

SoundStatus canRender(const SoundOptions&) { return SoundFailure{SoundTrouble::CannotRender, {}}; }

SoundStatus renderWav(std::span<const std::uint8_t>, const SoundOptions&, ByteSink&) {
  return SoundFailure{SoundTrouble::CannotRender, {}};
}

}  // namespace ezg::sound
