// A split's copies held against their input, the input read as events:
// which notes each copy silences, which changed bytes are no velocity of a
// note on channel 1, and where the byte rule met a 0x80, 0x90 or 0xE0 that
// is not the status byte it takes it for.
//
// In two steps, so that a copy is compared as it is written and the input
// is read as events once for both: each copy's changed bytes are listed
// (ChangeList, a byte or two each), then one pass over the input names them.
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
  std::array<std::int64_t, 16> bends{};  // pitch bends per channel; [0] is channel 1
  std::int64_t notes = 0;                // note-ons with a velocity above 0, every channel
  std::int64_t firstChannelNotes = 0;    // of them on channel 1
  std::int64_t firstChannelZeroOns = 0;  // note-ons with velocity 0 on channel 1: note-offs
  std::int64_t firstChannelRunning = 0;  // of the notes on channel 1, those without a status byte of their own
  std::int64_t packets = 0;              // the bytes 0xE0 the byte rule opens a packet at
  std::int64_t strayBends = 0;           // of them, no pitch bend's status byte on channel 1
  std::optional<midi::ByteName> firstStrayBend;
  std::optional<midi::ByteName> firstUnseenBend;      // a pitch bend on channel 1 the byte rule misses
  std::optional<midi::ByteName> ruleByteAfterTracks;  // a 0x80, 0x90 or 0xE0 after the last track chunk
  std::uint8_t ruleByteAfterTracksValue = 0;
};

// What one copy changed.
struct CopyFacts {
  std::int64_t changedBytes = 0;
  std::int64_t silencedNotes = 0;  // note-ons with a velocity that the copy set to 0
  std::int64_t strayChanges = 0;   // changed bytes that are no velocity of a note on channel 1
  std::optional<midi::ByteName> firstStrayChange;
  std::uint8_t firstStrayChangeTo = 0;
};

struct SplitCheck {
  InputFacts input;
  CopyFacts copy13, copy24;
};

// The bytes in which a copy differs from its input, in increasing order:
// each kept as the distance from the one before and the copy's value, a
// byte for nearly every change.
class ChangeList {
 public:
  ChangeList() = default;
  ChangeList(const ChangeList&) = delete;
  ChangeList& operator=(const ChangeList&) = delete;
  ~ChangeList();

  struct Change {
    std::int64_t offset;
    std::uint8_t to;
  };
  // A byte the split changed, told by the split itself; changes come in
  // increasing order but for a velocity that a long packet's end set after
  // its bytes were written, rare enough to be kept apart.
  void record(std::int64_t offset, std::uint8_t to) {
    if (offset > last_)
      add(offset, to);
    else
      recordLate(offset, to);
  }

  class Reader {
   public:
    explicit Reader(const ChangeList& list) : list_(list) {
      decode();
      pick();
    }
    // The change at hand; its offset is INT64_MAX past the last.
    Change at() const { return {offset_, to_}; }
    void next() {
      if (fromLate_)
        ++late_;
      else
        decode();
      pick();
    }

   private:
    void decode();
    // Scalars, not a Change copied whole: a 16-byte load of fields just
    // stored one by one stalls, and this runs for every change.
    void pick() {
      const bool late = late_ < list_.late_.size();
      const std::int64_t lateAt = late ? list_.late_[late_].offset : INT64_MAX;
      fromLate_ = lateAt < listedOffset_;
      offset_ = fromLate_ ? lateAt : listedOffset_;
      to_ = fromLate_ ? list_.late_[late_].to : listedTo_;
    }

    const ChangeList& list_;
    std::size_t read_ = 0, late_ = 0;
    std::int64_t listedOffset_ = -1, offset_ = -1;
    std::uint8_t listedTo_ = 0, to_ = 0;
    bool fromLate_ = false;
  };

 private:
  // Inline: a split records a change for every fourth note or so.
  void add(std::int64_t offset, std::uint8_t to) {
    // The distance as 7-bit groups, low first, its lowest bit set when the
    // value follows: the split only ever sets bytes to 0, so a change takes
    // one byte, at most 11.
    if (capacity_ - size_ < 11) grow();
    auto code = static_cast<std::uint64_t>(offset - last_) << 1 | (to != 0);
    for (; code >= 0x80; code >>= 7) encoded_[size_++] = static_cast<std::uint8_t>(code | 0x80);
    encoded_[size_++] = static_cast<std::uint8_t>(code);
    if (to != 0) encoded_[size_++] = to;
    last_ = offset;
  }
  void recordLate(std::int64_t offset, std::uint8_t to);

  void grow();

  // Grown in whole huge pages where the system has them: fresh memory costs
  // a page fault per 4 KiB first touched, and on a virtual machine a fault
  // costs more than the check itself.
  std::uint8_t* encoded_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  std::int64_t last_ = -1;    // the offset of the last change added
  std::vector<Change> late_;  // in increasing order
};

// One pass over the input as events, naming both copies' changes.
class SplitChecker final {
 public:
  SplitChecker(const ChangeList& changes13, const ChangeList& changes24)
      : reader_(*this), changes_{ChangeList::Reader(changes13), ChangeList::Reader(changes24)} {}
  SplitChecker(const SplitChecker&) = delete;
  SplitChecker& operator=(const SplitChecker&) = delete;

  void feed(std::span<const std::uint8_t> input);
  SplitCheck finish();

  // The reader's hooks.
  void event(const midi::Event& e);
  void trouble(const midi::TroubleAt& at);

 private:
  void change(const midi::Event& e, const ChangeList::Change& c, CopyFacts& copy);
  void ruleBytes(const midi::Event& e, std::size_t from, std::size_t to);

  midi::EventReader<SplitChecker> reader_;
  ChangeList::Reader changes_[2];
  SplitCheck found_;
  bool sawTrack_ = false;
};

}  // namespace ezg
