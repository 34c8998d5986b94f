// A split's copy held against its input, the input read as events: which
// notes the copy silences, which changed bytes are no velocity of a note on
// channel 1, and where the byte rule met a 0x80, 0x90 or 0xE0 that is not
// the status byte it takes it for. Fed in pieces as the copy is written, so
// the check needs no more memory than the split.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "midi/events.h"

namespace ezg {

// What the input holds, read as events, next to what the byte rule sees.
struct InputFacts {
  std::array<std::int64_t, 16> bends{};   // pitch bends per channel; [0] is channel 1
  std::int64_t notes = 0;                 // note-ons with a velocity above 0, every channel
  std::int64_t firstChannelNotes = 0;     // of them on channel 1
  std::int64_t firstChannelZeroOns = 0;   // note-ons with velocity 0 on channel 1: note-offs
  std::int64_t firstChannelRunning = 0;   // of the notes on channel 1, those without a status byte of their own
  std::int64_t packets = 0;               // the bytes 0xE0 the byte rule opens a packet at
  std::int64_t strayBends = 0;            // of them, no pitch bend's status byte on channel 1
  std::optional<midi::ByteName> firstStrayBend;
  std::optional<midi::ByteName> firstUnseenBend;      // a pitch bend on channel 1 the byte rule misses
  std::optional<midi::ByteName> ruleByteAfterTracks;  // a 0x80, 0x90 or 0xE0 after the last track chunk
  std::uint8_t ruleByteAfterTracksValue = 0;
  std::optional<midi::TroubleAt> firstTrouble;        // where the structure stops making sense
};

// What one copy changed.
struct CopyFacts {
  std::int64_t changedBytes = 0;
  std::int64_t silencedNotes = 0;  // note-ons with a velocity that the copy set to 0
  std::int64_t strayChanges = 0;   // changed bytes that are no velocity of a note on channel 1
  std::optional<midi::ByteName> firstStrayChange;
  std::uint8_t firstStrayChangeTo = 0;
};

class CopyCheck final {
 public:
  CopyCheck() : reader_(*this) {}
  CopyCheck(const CopyCheck&) = delete;
  CopyCheck& operator=(const CopyCheck&) = delete;

  // The next bytes of the input and the copy's bytes at the same offsets.
  void feed(std::span<const std::uint8_t> input, std::span<const std::uint8_t> copy);
  void finish();

  const InputFacts& input() const { return input_; }
  const CopyFacts& copy() const { return copy_; }

  // The reader's hooks.
  void event(const midi::Event& e);
  void trouble(const midi::TroubleAt& at);

 private:
  struct Change {
    std::int64_t offset;
    std::uint8_t to;
  };

  void change(const midi::Event& e, const Change& c);
  void ruleBytes(InputFacts& in, const midi::Event& e, std::size_t from, std::size_t to);

  midi::EventReader<CopyCheck> reader_;
  InputFacts input_;
  CopyFacts copy_;
  std::int64_t offset_ = 0;
  std::vector<Change> changes_;  // found and not yet named
  std::size_t named_ = 0;        // of them, named
  std::int64_t nextChange_ = 0;  // the offset of the next to name
  bool sawTrack_ = false;
};

struct SplitCheck {
  InputFacts input;
  CopyFacts copy13, copy24;
};

// Both copies against the input, in memory.
SplitCheck checkSplit(std::span<const std::uint8_t> input, std::span<const std::uint8_t> copy13,
                      std::span<const std::uint8_t> copy24);

}  // namespace ezg
