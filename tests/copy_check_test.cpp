// A split's copies held against the input read as events, on files built
// here in the shapes other programs write.
#include <gtest/gtest.h>

#include "splitter/copy_check.h"
#include "splitter/note_splitter.h"
#include "tests/support/split_files.h"

namespace ezg {
namespace {

using midi::ByteRole;
using testing::kLeadTempo;

Bytes notes(int count, std::uint8_t bend = 0xE0, std::uint8_t off = 0x80, std::uint8_t offVelocity = 0x40) {
  return testing::splitNotesEvents(count, bend, off, offVelocity);
}
Bytes track(std::initializer_list<Bytes> parts) { return testing::trackOf(parts); }

// The notes a copy silences, by plain byte comparison: in the melodies
// built here 0x90 is only ever a note-on's status byte.
std::int64_t silencedByBytes(const Bytes& in, const Bytes& copy) {
  std::int64_t n = 0;
  for (std::size_t i = 0; i + 2 < in.size(); ++i) n += in[i] == 0x90 && in[i + 2] > 0 && copy[i + 2] != in[i + 2];
  return n;
}

SplitCheck check(const Bytes& in) {
  const testing::BothCopies copies = testing::splitBoth(in);
  const SplitCheck found = checkSplit(in, copies.copy13, copies.copy24);
  EXPECT_EQ(found.input.packets, scanPackets(in, [](const Packet&, bool) {}));
  return found;
}

TEST(CopyCheck, TheDemoMelodiesSplitCleanly) {
  for (auto [count, seed] : {std::pair<std::size_t, std::uint32_t>{48, 1}, {640, 2}, {32, 3}, {24, 4}}) {
    const Bytes in = build::makeMidi(build::makamMelody(count, seed));
    const testing::BothCopies copies = testing::splitBoth(in);
    const SplitCheck found = checkSplit(in, copies.copy13, copies.copy24);
    EXPECT_EQ(found.copy13.silencedNotes, silencedByBytes(in, copies.copy13));
    EXPECT_EQ(found.copy24.silencedNotes, silencedByBytes(in, copies.copy24));
    const auto n = static_cast<std::int64_t>(count);
    EXPECT_EQ(found.input.bends[0], n);
    EXPECT_EQ(found.input.notes, n);
    EXPECT_EQ(found.input.packets, n);
    EXPECT_EQ(found.copy13.silencedNotes + found.copy24.silencedNotes, n / 2 * 2);
    EXPECT_EQ(found.copy13.strayChanges + found.copy24.strayChanges, 0);
    EXPECT_FALSE(found.input.firstStrayBend || found.input.firstUnseenBend || found.input.ruleByteAfterTracks);
  }
}

TEST(CopyCheck, FindsWhyNothingWasSilenced) {
  Bytes runningBends = {0x00, 0xE0, 0x00, 0x40};
  for (int i = 0; i < 3; ++i) runningBends.insert(runningBends.end(), {0x00, 0x00, 0x41});
  const Bytes runningNotes = {0x00, 0x90, 60, 0x50, 0x83, 0x60, 60, 0x00, 0x00, 62, 0x50, 0x83, 0x60, 62, 0x00};
  struct Case {
    const char* what;
    Bytes file;
    std::int64_t otherBends, zeroOns, running;
  };
  const Case cases[] = {
      {"no pitch bend", track({{0x00, 0x90, 60, 0x50, 0x83, 0x60, 0x80, 60, 0x40}}), 0, 0, 0},
      {"bends on channel 2", track({notes(4, 0xE1)}), 4, 0, 0},
      {"note-offs as note-ons", track({notes(4, 0xE0, 0x90, 0x00)}), 0, 4, 0},
      {"running status", track({runningBends, runningNotes}), 0, 2, 1},
  };
  for (const Case& c : cases) {
    const SplitCheck found = check(c.file);
    EXPECT_EQ(found.copy13.changedBytes + found.copy24.changedBytes, 0) << c.what;
    EXPECT_EQ(found.input.bends[1], c.otherBends) << c.what;
    EXPECT_EQ(found.input.firstChannelZeroOns, c.zeroOns) << c.what;
    EXPECT_EQ(found.input.firstChannelRunning, c.running) << c.what;
  }
}

TEST(CopyCheck, NamesWhatTheByteRuleTookForANoteOrABend) {
  // A tempo of 0x0A2CE0 microseconds; a delta time of 0x90 0x00 ticks
  // before a text event, so the "velocity" after that 0x90 is its 0xFF.
  const Bytes tempo = {0x00, 0xFF, 0x51, 0x03, 0x0A, 0x2C, 0xE0};
  const Bytes deltaBeforeText = {0x90, 0x00, 0xFF, 0x01, 0x01, 'a'};
  Bytes trailing = build::makeMidi(std::vector<build::Note>(4));
  trailing.insert(trailing.end(), {0x00, 0x90, 0x3C, 0x40});
  struct Case {
    const char* what;
    Bytes file;
    std::optional<ByteRole> strayBend, strayChange;
    bool afterTracks;
  };
  const Case cases[] = {
      {"a tempo's data", track({kLeadTempo, notes(2), tempo, notes(2)}), ByteRole::MetaData, {}, false},
      {"a delta time", track({kLeadTempo, notes(1), deltaBeforeText, notes(3)}), {}, ByteRole::MetaStatus, false},
      {"bytes after the last chunk", trailing, {}, ByteRole::AfterChunks, true},
  };
  for (const Case& c : cases) {
    const SplitCheck found = check(c.file);
    const auto& stray = found.copy13.firstStrayChange ? found.copy13.firstStrayChange : found.copy24.firstStrayChange;
    EXPECT_EQ(found.input.firstStrayBend ? std::optional(found.input.firstStrayBend->role) : std::nullopt,
              c.strayBend) << c.what;
    EXPECT_EQ(stray ? std::optional(stray->role) : std::nullopt, c.strayChange) << c.what;
    EXPECT_EQ(found.input.ruleByteAfterTracks.has_value(), c.afterTracks) << c.what;
  }
}

TEST(CopyCheck, CountsEveryChangedByteWhateverItsValueOrDistance) {
  const Bytes in = build::makeMidi(build::makamMelody(40, 8));
  Bytes copy = in;
  copy[26] = 0x55;                // the tempo's data
  copy[26 + 300] ^= 0x01;         // far from the first
  copy[in.size() - 1] = 0x7F;     // the end of track's length
  const SplitCheck found = checkSplit(in, copy, in);
  EXPECT_EQ(found.copy13.changedBytes, 3);
  EXPECT_EQ(found.copy13.strayChanges, 3);
  EXPECT_EQ(found.copy13.firstStrayChangeTo, 0x55);
  EXPECT_EQ(found.copy24.changedBytes, 0);
}

}  // namespace
}  // namespace ezg
