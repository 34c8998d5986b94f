// The MIDI bytes this tool recognises. The split, the report and the test
// walk take them by exact value, one byte at a time: only the first
// channel's note and pitch-bend messages count, nothing keeps running status
// or follows event lengths. The event reading (midi/events.h) follows the
// file's structure with the rest of the words below, to tell what a byte is.
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

// The other status bytes of a Standard MIDI File's tracks.
inline constexpr std::uint8_t kMeta = 0xFF;         // type, length, data
inline constexpr std::uint8_t kSysEx = 0xF0;        // length, data
inline constexpr std::uint8_t kSysExEscape = 0xF7;  // length, data
inline constexpr std::uint8_t kTempo = 0x51;        // a meta type
inline constexpr std::int16_t kPolyPressureKind = 0xA;
inline constexpr std::int16_t kControlChangeKind = 0xB;
inline constexpr std::int16_t kProgramChangeKind = 0xC;
inline constexpr std::int16_t kChannelPressureKind = 0xD;

// The data bytes after a channel message's status byte (0x80..0xEF).
constexpr int channelDataBytes(std::uint8_t status) {
  const int kind = status >> 4;
  return kind == kProgramChangeKind || kind == kChannelPressureKind ? 1 : 2;
}

// The three values a walk line shows as a space in its character field.
constexpr bool blankInWalkLine(std::uint8_t b) { return b == 0x0D || b == 0x81 || b == kNoteOn; }

}  // namespace ezg::midi
