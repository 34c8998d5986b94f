// Builds small Standard MIDI Files in code: the demo folder's melodies, test
// fixtures, benchmark inputs and fuzz seeds. Nothing here is read from disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "midi/bytes.h"

namespace ezg::build {

// Appends a variable-length delta time.
void putDelta(Bytes& out, std::uint32_t ticks);

// One note in the shape the splitter expects: a pitch bend 0xE0, then a
// note-on 0x90 and, `length` ticks later, a note-off 0x80.
struct Note {
  std::uint8_t key = 60;
  std::uint8_t velocity = 80;
  std::uint16_t bend = 0x2000;  // 14-bit, 0x2000 = no bend
  std::uint32_t length = 240;   // ticks
  std::uint32_t rest = 0;       // ticks before the pitch bend
};

// A format-0 file: 14-byte header, one track whose events start with a
// tempo meta event, so the first note's pitch bend sits at position 31.
Bytes makeMidi(const std::vector<Note>& notes, std::uint16_t ticksPerQuarter = 480);

// Wraps raw track events (from position 23 on) into header + track chunk.
Bytes wrapTrack(const Bytes& events, std::uint16_t ticksPerQuarter = 480);

// A makam-like melody of `count` notes: steps within a scale with
// comma-sized pitch bends, from a fixed seed.
std::vector<Note> makamMelody(std::size_t count, std::uint32_t seed);

}  // namespace ezg::build
