// What split says of its copies: one line of what they hold, and warnings
// with status 1 where the byte rule misfires, the copies written all the same.
#include <gtest/gtest.h>

#include "tests/support/cli.h"
#include "tests/support/split_files.h"

namespace ezg::testing {
namespace {

using SplitSays = Cli;

// A packet longer than the split holds: its note-on's velocity is set in a
// copy after it was written, and still counted.
Bytes longPacket() {
  Bytes ev = {0x00, 0xE0, 0x00, 0x40, 0x00, 0x90, 60, 0x50, 0x00, 0xFF, 0x01, 0x92, 0xA7, 0x60};
  ev.insert(ev.end(), 300'000, 'a');
  ev.insert(ev.end(), {0x00, 0x80, 60, 0x40});
  return ev;
}

TEST_F(SplitSays, WhatTheCopiesHoldAndWarnsWhereTheSplitDoesNotFit) {
  std::map<std::string, Bytes> files = misfiringFiles();
  files["fits"] = build::makeMidi(std::vector<build::Note>(4));
  files["long"] = trackOf({kLeadTempo, longPacket(), splitNotesEvents(1)});
  const std::pair<const char*, std::string> cases[] = {
      // file, what stderr says
      {"fits", ""},
      {"bare", "bare.mid: both copies equal the input: there is no pitch bend on channel 1\n"},
      {"other",
       "other.mid: both copies equal the input: the pitch bends are all on channels 2 and 5, and only those on "
       "channel 1 open packets\n"},
      {"offs",
       "offs.mid: both copies equal the input: the note-offs are written as note-ons with velocity 0, so the split "
       "silenced only those, whose velocity was 0 already\n"},
      {"running",
       "running.mid: both copies equal the input: running status hides the notes: 1 note on channel 1 has no status "
       "byte of its own\nrunning.mid: the split found 0 packets, but the file has 4 pitch bends on channel 1; the "
       "first one it misses is at position 24: the pitch bend on channel 1 at tick 0, before position 31 where the "
       "split starts\n"},
      {"text",
       "text_24.mid: position 45: a text event's first byte was set to 0; the rest of the track now reads "
       "differently\n"},
      {"tempo",
       "tempo.mid: the split found 5 packets, but the file has 4 pitch bends on channel 1; the first stray 0xE0 is "
       "at position 62: a tempo's data\n"},
      {"long", ""},
      {"tail",
       "tail_13.mid: position 89: a byte after the last chunk was set to 0\n"
       "tail.mid: position 87: bytes after the last track chunk took part in the split: it took the byte 0x90 there "
       "for a note-on\n"},
  };
  for (const auto& [base, warned] : cases) {
    const std::string name = base + std::string(".mid");
    const Bytes& bytes = files.at(base);
    dir.write(name, bytes);
    const auto r = cli("split -q " + name);  // quiet keeps the warnings only
    EXPECT_EQ(r.out, "") << name;
    EXPECT_EQ(r.err, warned) << name;
    EXPECT_EQ(r.status, warned.empty() ? 0 : 1) << name;
    // The copies are what they always were.
    const BothCopies want = splitBoth(bytes);
    EXPECT_EQ(dir.read(base + std::string("_13.mid")), asString(want.copy13)) << name;
    EXPECT_EQ(dir.read(base + std::string("_24.mid")), asString(want.copy24)) << name;
  }
  EXPECT_EQ(cli("split fits.mid").out,
            "fits.mid: 4 pitch bends, 4 notes; fits_13.mid silences 2 notes, fits_24.mid 2\n");
  EXPECT_EQ(cli("split long.mid").out,
            "long.mid: 2 pitch bends, 2 notes; long_13.mid silences 1 note, long_24.mid 1\n");
  EXPECT_EQ(cli("split -o " + q("") + " bare.mid").out, "bare.mid: 0 pitch bends, 1 note; " +
                                                            (dir / "bare_13.mid").string() + " silences 0 notes, " +
                                                            (dir / "bare_24.mid").string() + " 0\n");
}

}  // namespace
}  // namespace ezg::testing
