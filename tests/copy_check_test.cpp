// A split's copies held against the input read as events, on files built
// here in the shapes other programs write.
#include <gtest/gtest.h>

#include "tests/support/split_check.h"
#include "splitter/note_splitter.h"
#include "tests/support/split_files.h"

namespace ezg {
namespace {

using testing::checkSplit;

// The notes a copy silences, by plain byte comparison: in the melodies
// built here 0x90 is only ever a note-on's status byte.
std::int64_t silencedByBytes(const Bytes& in, const Bytes& copy) {
  std::int64_t n = 0;
  for (std::size_t i = 0; i + 2 < in.size(); ++i) n += in[i] == 0x90 && in[i + 2] > 0 && copy[i + 2] != in[i + 2];
  return n;
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

TEST(CopyCheck, CountsEveryChangedByteWhateverItsValueOrDistance) {
  const Bytes in = build::makeMidi(build::makamMelody(40, 8));
  Bytes copy = in;
  copy[26] = 0x55;             // the tempo's data
  copy[26 + 300] ^= 0x01;      // far from the first
  copy[in.size() - 1] = 0x7F;  // the end of track's length
  const SplitCheck found = checkSplit(in, copy, in);
  EXPECT_EQ(found.copy13.changedBytes, 3);
  EXPECT_EQ(found.copy13.strayChanges, 3);
  EXPECT_EQ(found.copy13.firstStrayChangeTo, 0x55);
  EXPECT_EQ(found.copy24.changedBytes, 0);
}

}  // namespace
}  // namespace ezg
