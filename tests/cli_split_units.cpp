// ezgitar-cli split --by note|bar, --every and --tempo as a musician runs
// them: what the summary says, the mistakes refused, the byte rule kept.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/cli.h"
#include "tests/support/split_files.h"

namespace ezg::testing {
namespace {

using SplitBy = Cli;

// Ten notes of 240 ticks in 4/4 at 480 a quarter: eight in bar 1, two in bar 2.
const Bytes kTen = build::makeMidi(std::vector<build::Note>(10));

TEST_F(SplitBy, TheSummarySaysWhatEachCopySoundsInTheUnitChosen) {
  dir.write("a.mid", kTen);
  const std::pair<std::string, std::string> runs[] = {
      {"--by bar --tempo 75",
       "a.mid: 10 notes in 2 bars; a_13.mid sounds bar 1 (8 notes), a_24.mid bar 2 (2 notes); tempo 75 %\n"},
      {"--by note", "a.mid: 10 notes; a_13.mid sounds notes 1, 3 … 9 (5 notes), a_24.mid notes 2, 4 … 10 (5 notes)\n"},
      {"--by note --every 3",
       "a.mid: 10 notes; a_13.mid sounds notes 1-3, 7-9 (6 notes), a_24.mid notes 4-6, 10 (4 notes)\n"},
      {"--by packet --tempo 50",
       "a.mid: 10 pitch bends, 10 notes; a_13.mid silences 5 notes, a_24.mid 5; tempo 50 %\n"},
  };
  for (const auto& [options, line] : runs) {
    const auto r = cli("split " + options + " a.mid");
    EXPECT_EQ(r.status, 0) << options << r.err;
    EXPECT_EQ(r.out, line) << options;
  }
  // The byte rule at half speed: its own bytes, the tempo's data doubled;
  // by packet at the file's tempo, exactly the plain split's bytes.
  const BothCopies plain = splitBoth(kTen);
  BothCopies slow = plain;
  for (Bytes* copy : {&slow.copy13, &slow.copy24}) std::ranges::copy(Bytes{0x0F, 0x42, 0x40}, copy->begin() + 26);
  EXPECT_EQ(dir.read("a_13.mid"), asString(slow.copy13));
  EXPECT_EQ(dir.read("a_24.mid"), asString(slow.copy24));
  ASSERT_EQ(cli("split --by packet a.mid").status, 0);
  EXPECT_EQ(dir.read("a_13.mid"), asString(plain.copy13));
  EXPECT_EQ(dir.read("a_24.mid"), asString(plain.copy24));
}

TEST_F(SplitBy, MistakesAreUsageErrorsAndBadInputIsRefusedWithNothingWritten) {
  dir.write("a.mid", kTen);
  for (const char* bad : {"--by packet --every 2", "--tempo 401", "--by phrase", "--by bar --every 0"}) {
    const auto r = cli(std::string("split ") + bad + " a.mid");
    EXPECT_TRUE(r.status == 2 && r.out.empty()) << bad;
    EXPECT_TRUE(oneLine(r) && r.err.ends_with(" --help')\n")) << bad << ": " << r.err;
  }
  EXPECT_EQ(dir.names(), std::vector<std::string>{"a.mid"});

  dir.write("riff.mid", std::string_view("RIFF\0\0\0\4RMID", 12));
  Bytes smpte = kTen;
  smpte[12] = 0xE7;
  dir.write("frames.mid", smpte);
  const auto r = cli("split --by bar -j 1 riff.mid frames.mid a.mid");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "ezgitar-cli: riff.mid: not a MIDI file: it does not start with a header chunk\n"
            "ezgitar-cli: frames.mid: no bars to count: the file's time division is not in ticks a quarter note "
            "(try --by note)\n");
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"a.mid", "a_13.mid", "a_24.mid", "frames.mid", "riff.mid"}));
}

TEST_F(SplitBy, ATrackThatRunsOnIsToldAndABrokenOneWarns) {
  // The chunk ends with an end of track whose length byte is the next
  // event's delta time; two notes follow after the chunk.
  Bytes longer = kTen;
  for (std::uint8_t key : {62, 64})
    longer.insert(longer.end(), {0xE0, 0x00, 0x40, 0x00, 0x90, key, 0x50, 0x81, 0x70, 0x80, key, 0x40, 0x00});
  longer.insert(longer.end(), {0xFF, 0x2F, 0x00});
  dir.write("long.mid", longer);
  auto r = cli("split --by note long.mid");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "long.mid: 12 notes; long_13.mid sounds notes 1, 3 … 11 (6 notes), long_24.mid notes 2, 4 … 12 (6 notes); "
            "track 1 made whole: 2 of its notes lay past the end of its chunk\n");
  EXPECT_EQ(dir.read("long_13.mid").size(), longer.size() - 3);  // the early end of track, but for its length byte

  Bytes broken = kTen;
  broken.insert(broken.end() - 4, {0x00, 0xF4});
  broken[21] = static_cast<std::uint8_t>(broken[21] + 2);
  dir.write("broken.mid", broken);
  r = cli("split --by note broken.mid");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "broken.mid: position " + std::to_string(broken.size() - 4) +
                       ": a status byte that has no place in a file; from there on the track is left as it is and its "
                       "notes sound in both copies\n");
}

}  // namespace
}  // namespace ezg::testing
