#include "tools/midi_builder.h"

#include <algorithm>
#include <array>
#include <random>

namespace ezg::build {

void putDelta(Bytes& out, std::uint32_t ticks) {
  std::uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = static_cast<std::uint8_t>(ticks & 0x7F);
    ticks >>= 7;
  } while (ticks != 0);
  while (n > 1) out.push_back(static_cast<std::uint8_t>(groups[--n] | 0x80));
  out.push_back(groups[0]);
}

Bytes wrapTrack(const Bytes& events, std::uint16_t ticksPerQuarter) {
  const auto len = static_cast<std::uint32_t>(events.size());
  const std::uint8_t head[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1,
                               static_cast<std::uint8_t>(ticksPerQuarter >> 8), static_cast<std::uint8_t>(ticksPerQuarter),
                               'M', 'T', 'r', 'k', static_cast<std::uint8_t>(len >> 24), static_cast<std::uint8_t>(len >> 16),
                               static_cast<std::uint8_t>(len >> 8), static_cast<std::uint8_t>(len)};
  Bytes out;
  out.reserve(sizeof head + events.size());
  out.assign(std::begin(head), std::end(head));
  out.insert(out.end(), events.begin(), events.end());
  return out;
}

Bytes makeMidi(const std::vector<Note>& notes, std::uint16_t ticksPerQuarter) {
  // Tempo 500,000 us per quarter: 7 bytes, then the first note's delta at
  // position 30 and its pitch bend at 31.
  Bytes ev = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
  for (const Note& n : notes) {
    putDelta(ev, n.rest);
    ev.insert(ev.end(), {0xE0, static_cast<std::uint8_t>(n.bend & 0x7F),
                         static_cast<std::uint8_t>((n.bend >> 7) & 0x7F)});
    ev.insert(ev.end(), {0x00, 0x90, n.key, n.velocity});
    putDelta(ev, n.length);
    ev.insert(ev.end(), {0x80, n.key, 0x40});
  }
  ev.insert(ev.end(), {0x00, 0xFF, 0x2F, 0x00});
  return wrapTrack(ev, ticksPerQuarter);
}

std::vector<Note> makamMelody(std::size_t count, std::uint32_t seed) {
  // Rast-like steps from G: whole tones, and a third a comma short of major.
  static constexpr std::array<int, 8> kSteps = {0, 2, 4, 5, 7, 9, 11, 12};
  static constexpr std::array<int, 8> kCommaBends = {0, 0, -340, 0, 0, 0, -340, 0};
  std::mt19937 rng(seed);
  std::vector<Note> notes;
  int degree = 0;
  for (std::size_t i = 0; i < count; ++i) {
    degree = std::clamp(degree + static_cast<int>(rng() % 5) - 2, 0, 7);
    Note n;
    n.key = static_cast<std::uint8_t>(55 + kSteps[static_cast<std::size_t>(degree)]);
    n.velocity = static_cast<std::uint8_t>(64 + rng() % 40);
    n.bend = static_cast<std::uint16_t>(0x2000 + kCommaBends[static_cast<std::size_t>(degree)]);
    n.length = 120u * (1 + rng() % 4);
    notes.push_back(n);
  }
  return notes;
}

}  // namespace ezg::build
