// The renderer's microtones, measured in the sound itself: each bent note's
// interval from the same key unbent, within a few cents of what its bend
// and its channel's RPN 0 range ask for.
#include <gtest/gtest.h>

#include <map>

#include "fixtures/midi_builder.h"
#include "sound/player.h"
#include "tests/support/pitch.h"

namespace ezg::testing {
namespace {

// A koma: a ninth of a whole tone, as makam theory counts it.
constexpr double kKoma = 1200.0 / 53;

std::uint16_t bendFor(double cents, int rangeSemitones) {
  return static_cast<std::uint16_t>(std::lround(8192 + cents / (rangeSemitones * 100.0) * 8192));
}
// What a bend asks for, from the 14-bit value as written.
double bendCents(int bend, int rangeSemitones) { return (bend - 8192) / 8192.0 * rangeSemitones * 100; }

// Long notes, a second each with half a second between: tempo 0.5 s a
// quarter at 480 ticks, so 960 ticks a second.
struct Piece {
  Bytes events = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
  struct Sounding {
    int key, bend, range;
    double start;
  };
  std::vector<Sounding> notes;

  void rpnBendRange(std::uint8_t channel, std::uint8_t semitones) {
    const std::uint8_t cc = static_cast<std::uint8_t>(0xB0 | channel);
    for (auto [controller, value] : {std::pair{101, 0}, {100, 0}, {6, semitones}, {38, 0}})
      events.insert(events.end(), {0x00, cc, static_cast<std::uint8_t>(controller), static_cast<std::uint8_t>(value)});
  }
  void note(std::uint8_t channel, std::uint8_t key, std::uint16_t bend, int range) {
    events.insert(events.end(), {0x00, static_cast<std::uint8_t>(0xE0 | channel),
                                 static_cast<std::uint8_t>(bend & 0x7F), static_cast<std::uint8_t>(bend >> 7)});
    events.insert(events.end(), {0x00, static_cast<std::uint8_t>(0x90 | channel), key, 100});
    build::putDelta(events, 960);
    events.insert(events.end(), {static_cast<std::uint8_t>(0x80 | channel), key, 0x40});
    // The rest: half a second on, an all-notes-off on channel 16, which plays nothing.
    build::putDelta(events, 480);
    events.insert(events.end(), {0xBF, 0x7B, 0x00});
    notes.push_back({key, bend, range, 1.5 * static_cast<double>(notes.size())});
  }
  Bytes file() const {
    Bytes all = events;
    all.insert(all.end(), {0x00, 0xFF, 0x2F, 0x00});
    return build::wrapTrack(all);
  }
};

// The bent notes' intervals from the first note of their key, which is
// unbent; the pitch is taken from 0.15 s to 0.85 s into each note. Within
// three cents at the default range, five at a wider one.
void expectIntervals(const Piece& piece) {
  MemorySink wav;
  ASSERT_FALSE(sound::renderWav(piece.file(), {}, wav)) << "render failed";
  const std::vector<double> sound = monoSamples(wav.data());
  std::map<int, double> unbent;
  for (const Piece::Sounding& n : piece.notes) {
    const double asked = bendCents(n.bend, n.range);
    const double hz = fundamental(sound, n.start + 0.15, n.start + 0.85, keyHz(n.key) * std::pow(2.0, asked / 1200));
    ASSERT_GT(hz, 0) << "key " << n.key << " bend " << n.bend << ": no pitch found";
    if (n.bend == 8192 && !unbent.contains(n.key)) {
      unbent[n.key] = hz;
      continue;
    }
    ASSERT_TRUE(unbent.contains(n.key));
    const double measured = cents(unbent[n.key], hz);
    EXPECT_NEAR(measured, asked, n.range == 2 ? 3 : 5) << "key " << n.key << ", bend " << n.bend << " of +-" << n.range;
    std::printf("key %d, range +-%d: asked %+8.2f cents, measured %+8.2f\n", n.key, n.range, asked, measured);
  }
}

TEST(Microtones, BendsSoundAsTheirChannelsRangeSaysAndARangeSetByRpnAppliesFromTheNextBend) {
  if (sound::canRender({})) GTEST_SKIP() << "no SoundFont: tools/install-deps installs timgm6mb-soundfont";
  Piece piece;
  piece.rpnBendRange(0, 2);
  for (double asked : {0.0, kKoma, 4 * kKoma, -kKoma, -200.0}) piece.note(0, 69, bendFor(asked, 2), 2);
  piece.rpnBendRange(1, 2);
  piece.note(1, 57, 8192, 12);
  piece.note(1, 57, bendFor(-kKoma, 2), 2);  // still the default range
  piece.rpnBendRange(1, 12);
  for (double asked : {kKoma, 700.0, -5 * kKoma}) piece.note(1, 57, bendFor(asked, 12), 12);
  piece.note(0, 69, bendFor(-kKoma, 2), 2);  // another channel keeps the range it is set to
  expectIntervals(piece);
}

}  // namespace
}  // namespace ezg::testing
