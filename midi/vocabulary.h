// The MIDI bytes this tool recognises, by exact value, one byte at a time.
// Only the first channel's note and pitch-bend messages count; nothing keeps
// running status or follows event lengths.
#pragma once

#include <cstdint>

namespace ezg::midi {

inline constexpr std::uint8_t kNoteOff = 0x80;    // first channel
inline constexpr std::uint8_t kNoteOn = 0x90;     // first channel
inline constexpr std::uint8_t kPitchBend = 0xE0;  // first channel; opens a packet
inline constexpr std::uint8_t kEndByte = 0x2F;    // the end-of-track meta type, labelled by the walk
inline constexpr std::uint8_t kDataLimit = 0x80;  // data bytes are below it; a delta byte at or above it continues

// High nibbles (message kinds) as `Nibblize` gives them.
inline constexpr std::int16_t kNoteOffKind = kNoteOff >> 4;
inline constexpr std::int16_t kNoteOnKind = kNoteOn >> 4;
inline constexpr std::int16_t kPitchBendKind = kPitchBend >> 4;
inline constexpr std::int16_t kSystemKind = 0xF;  // 0xF0..0xFF, the low nibble picks the label
inline constexpr std::int16_t kFirstChannel = 0;

// The three values a walk line shows as a space in its character field.
constexpr bool blankInWalkLine(std::uint8_t b) { return b == 0x0D || b == 0x81 || b == kNoteOn; }

}  // namespace ezg::midi
