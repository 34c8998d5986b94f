// A split's copies held against the input read as events.
#include <gtest/gtest.h>

#include "tests/support/split_check.h"
#include "fixtures/midi_builder.h"

namespace ezg {
namespace {

using testing::checkSplit;

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
