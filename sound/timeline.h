// A MIDI file as what a synthesizer is sent: every channel message of every
// track, merged in time order, each at its moment in nanoseconds from the
// start through the file's tempo map. The player's pacing, the renderer and
// the tests all take the times from here, so a bend reaches the synthesizer
// at the tick the file gives it, before the note that follows it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ezg::sound {

struct TimedMessage {
  std::int64_t at = 0;      // nanoseconds from the start
  std::int64_t tick = 0;    // in its track
  std::uint8_t status = 0;  // 0x80..0xEF
  std::uint8_t data1 = 0;
  std::uint8_t data2 = 0;  // 0 for the one-byte messages
  bool operator==(const TimedMessage&) const = default;
};

struct Timeline {
  std::vector<TimedMessage> messages;  // by time; at one moment in file order
  std::int64_t end = 0;                // nanoseconds: the last event of any track, end of track included
};

// Never fails: what the event reader cannot read is left out. Channel
// messages cut short are left out too, and so are system exclusive
// messages, which the players here have no use for.
Timeline timelineOf(std::span<const std::uint8_t> file);

}  // namespace ezg::sound
