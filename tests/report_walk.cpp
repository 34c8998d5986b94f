// The event walk of the report: decoders, walk lines, labels, and the walk's
// end when a decoder runs out of file.
#include <gtest/gtest.h>

#include "tests/report_support.h"

namespace ezg::testing {
namespace {

using namespace std::literals;

std::string walk(const Bytes& events, char separator = '.') {
  return walkOf(runReport(withEvents(events), separator).text);
}

TEST(ReportWalk, NotesLabelsAndTheEndOfTrack) {
  const ReportRun r = runReport(withEvents({0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00}));
  EXPECT_EQ(walkOf(r.text), crlf({
                                "0023   00   000   \0   "sv,
                                "0024   90   144       NOTE-ON   Kanal= 0"sv,
                                "0025   3C   060   <   Pitch=C "sv,
                                "0026   64   100   d   Velo.= 100 "sv,
                                "0027   60   096   `   Tik= 96"sv,
                                "0028   80   128   \x80   NOTE-OFF   Kanal= 0"sv,
                                "0029   3C   060   <   Pitch=C "sv,
                                "0030   00   000   \0   Velo.= 0 "sv,
                                "0031   00   000   \0   Tik= 0"sv,
                                "0032   FF   255   \xFF   SysExMsg ba\xFEl.  "sv,
                                "0033   2F   047   /   SysExMsg biter"sv,
                                "0034   00   000   \0   "sv,
                            }));
  EXPECT_TRUE(r.text.ends_with("0034   00   000   \0   \r\n\r\n\r\n"sv));
  EXPECT_EQ(r.end, 35);
}

TEST(ReportWalk, LongerDeltaTimes) {
  EXPECT_EQ(walk({0x90, 0x3C, 0x64, 0x81, 0x00, 0x00}),
            crlf({"0023   90   144       NOTE-ON   Kanal= 0"sv, "0024   3C   060   <   Pitch=C "sv,
                  "0025   64   100   d   Velo.= 100 "sv, "0026   81   129   \x81"sv, "0027   00   000   \0   Tik= 128"sv,
                  "0028   00   000   \0   "sv}));
  EXPECT_EQ(walk({0x80, 0x3D, 0x0D, 0x82, 0x80, 0x00}),
            crlf({"0023   80   128   \x80   NOTE-OFF   Kanal= 0"sv, "0024   3D   061   =   Pitch=C#"sv,
                  "0025   0D   013   \r   Velo.= 13 "sv, "0026   82   130   \x82"sv, "0027   80   128   \x80   "sv,
                  "0028   00   000   \0   Tik= 32768"sv}));
}

TEST(ReportWalk, FourByteDeltaWarnsAndTheWalkResumesAfterTheStatus) {
  const ReportRun r = runReport(withEvents({0x90, 0x48, 0x40, 0x81, 0x80, 0x80, 0x00}));
  EXPECT_EQ(r.warnings, (std::vector<std::int64_t>{23}));
  EXPECT_EQ(walkOf(r.text), crlf({
                                "0023   90   144       NOTE-ON   Kanal= 0"sv,
                                "0024   48   072   H   Pitch=C "sv,
                                "0025   40   064   @   Velo.= 64 "sv,
                                "0026   81   129   \x81"sv,
                                "0027   80   128   \x80   "sv,
                                ""sv,
                                "0024   48   072   H   "sv,
                                "0025   40   064   @   "sv,
                                "0026   81   129       "sv,
                                // 0x80 at 27 is a note-off: 28 and 29 are its data, no delta left.
                                "0027   80   128   \x80   NOTE-OFF   Kanal= 0"sv,
                                "0028   80   128   \x80   Pitch=G#"sv,
                                "0029   00   000   \0   Velo.= 0 "sv,
                                ""sv,
                            }));
}

TEST(ReportWalk, PitchBendCents) {
  EXPECT_EQ(walk({0xE0, 0x00, 0x40}),
            crlf({"0023   E0   224   \xE0   PTCHBND   Kanal= 0"sv, "0024   00   000   \0"sv,
                  "0025   40   064   @   00.00 Cent"sv}));
  EXPECT_NE(walk({0xE0, 0x7F, 0x7F}).find("0025   7F   127   \x7F   199.98 Cent\r\n"), std::string::npos);
  EXPECT_NE(walk({0xE0, 0x00, 0x00}).find("0025   00   000   \0   -200.00 Cent\r\n"sv), std::string::npos);
  // 128 steps are exactly 3.125 cents: the half goes away from zero.
  EXPECT_NE(walk({0xE0, 0x00, 0x41}).find("   03.13 Cent\r\n"), std::string::npos);
  EXPECT_NE(walk({0xE0, 0x00, 0x41}, ',').find("   03,13 Cent\r\n"), std::string::npos);
  EXPECT_NE(walk({0xE0, 0x00, 0x3F}, ',').find("   -03,13 Cent\r\n"), std::string::npos);
  EXPECT_NE(walk({0xE0, 0x7F, 0x3F}).find("   -00.02 Cent\r\n"), std::string::npos);
  // Data bytes of 0x80 and more are not checked: the bend goes past 200.
  EXPECT_NE(walk({0xE0, 0xFF, 0xFF}).find("   603.10 Cent\r\n"), std::string::npos);
}

TEST(ReportWalk, WalkLinesBlankOnlyThreeCharacters) {
  EXPECT_EQ(walk({0x0D, 0x81, 0x91, 0x0A, 0x85, 0xE1, 0xA0}),
            crlf({"0023   0D   013       "sv, "0024   81   129       "sv, "0025   91   145   \x91   "sv,
                  "0026   0A   010   \n   "sv, "0027   85   133   \x85   "sv, "0028   E1   225   \xE1   "sv,
                  "0029   A0   160   \xA0   "sv}));
}

TEST(ReportWalk, EverySystemByteAndTheEndByteAreLabelled) {
  const std::string_view labels[16] = {
      "SysExMsg ba\xFEl.  ", "Time code       ", "Position pointer", "Song select     ",
      "Undefined       ",    "Undefined       ", "Tune request    ", "EOX biti\xFE       ",
      "Clock           ",    "(undefined)     ", "Start           ", "Continue        ",
      "Stop            ",    "Undefined       ", "Active Sensing  ", "SysExMsg ba\xFEl.  ",
  };
  Bytes events;
  for (int b = 0xF0; b <= 0xFF; ++b) events.push_back(static_cast<std::uint8_t>(b));
  events.push_back(0x2F);
  events.push_back(0x1F);  // high nibble 1, low 15: not the end byte
  const std::string w = walk(events);
  std::size_t at = 0;
  for (int i = 0; i < 16; ++i) {
    const std::string line = "   " + std::string(1, static_cast<char>(0xF0 + i)) + "   " + std::string(labels[i]) + "\r\n";
    at = w.find(line, at);
    ASSERT_NE(at, std::string::npos) << "label of 0xF" << std::hex << i;
  }
  EXPECT_TRUE(w.ends_with("0039   2F   047   /   SysExMsg biter\r\n0040   1F   031   \x1F   \r\n"));
}

TEST(ReportWalk, DecodedBytesAreSkippedButEverythingElseIsDispatched) {
  // A text meta event holding 0x90 and 0xF8; after a bend, 0x2F is walked.
  const std::string w = walk({0xFF, 0x01, 0x05, 0xF8, 0x90, 0x3D, 0x2F, 0x05, 0xE0, 0x00, 0x40, 0x2F});
  EXPECT_NE(w.find("0026   F8   248   \xF8   Clock           \r\n0027   90   144       NOTE-ON   Kanal= 0\r\n"
                   "0028   3D   061   =   Pitch=C#\r\n0029   2F   047   /   Velo.= 47 \r\n"
                   "0030   05   005   \x05   Tik= 5\r\n0031   E0"),
            std::string::npos);
  EXPECT_TRUE(w.ends_with("0033   40   064   @   00.00 Cent\r\n0034   2F   047   /   SysExMsg biter\r\n"));
}

TEST(ReportWalk, DecoderCutShortByTheEndClosesItsLineAndEndsTheWalk) {
  struct Case {
    Bytes events;
    std::string tail;
  };
  const Case cases[] = {
      {{0x90}, "0023   90   144       NOTE-ON   Kanal= 0\r\n\r\n"},
      {{0x80, 0x3C}, "0024   3C   060   <   Pitch=C \r\n\r\n"},
      {{0x90, 0x3C, 0x40}, "0025   40   064   @   Velo.= 64 \r\n\r\n"},
      {{0x90, 0x3C, 0x40, 0x81}, "0026   81   129   \x81\r\n\r\n"},
      {{0x90, 0x3C, 0x40, 0x81, 0x80}, "0027   80   128   \x80   \r\n\r\n"},
      {{0xE0}, "0023   E0   224   \xE0   PTCHBND   Kanal= 0\r\n\r\n"},
      {{0xE0, 0x00}, "0024   00   000   \0\r\n\r\n"s},
  };
  for (const Case& c : cases) {
    const ReportRun r = runReport(withEvents(c.events));
    EXPECT_TRUE(walkOf(r.text).ends_with(c.tail)) << walkOf(r.text);
    EXPECT_TRUE(r.warnings.empty());
    EXPECT_EQ(r.end, 23 + static_cast<std::int64_t>(c.events.size()));
  }
}

}  // namespace
}  // namespace ezg::testing
