// The report file: first line, header chunk, track head, the event walk and
// its labels, and files too short for the fixed layout.
#include <gtest/gtest.h>

#include <algorithm>

#include "report/block_writer.h"
#include "report/cp1254.h"
#include "tests/support/report_support.h"

namespace ezg::testing {
namespace {

using namespace std::literals;
constexpr auto npos = std::string::npos;

const Bytes kHeader = {0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x01, 0x00, 0x02, 0x01, 0xE0};

Bytes headerAndTrack() {
  Bytes b = kHeader;
  b.insert(b.end(), {0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00, 0x01, 0x2C});
  return b;
}

std::string walk(const Bytes& events, char separator = '.') {
  return walkOf(runReport(build::wrapTrack(events), separator).text);
}

TEST(ReportSections, ATwentyTwoByteFileGivesBothSectionsAndAnEmptyWalk) {
  const std::string expected = crlf({
      "song.txt"sv,
      ""sv,
      "----------HEADER CHUNK--------------"sv,
      "Sabit 4 byte"sv,
      "0001   4D   077   M"sv,
      "0002   54   084   T"sv,
      "0003   68   104   h"sv,
      "0004   64   100   d"sv,
      ""sv,
      "Sabit 4 byte"sv,
      "0005   00   000   \0"sv,
      "0006   00   000   \0"sv,
      "0007   00   000   \0"sv,
      "0008   06   006   \x06"sv,
      ""sv,
      "Midi Format tipi 2 byte"sv,
      "0009   00   000   \0"sv,
      "0010   01   001   \x01"sv,
      "0=single 1=Multi/syncron 2=Multi/asyncron "sv,
      ""sv,
      "Track say\xFDs\xFD"sv,
      "0011   00   000   \0   *256^1"sv,
      "0012   02   002   \x02   *256^0"sv,
      ""sv,
      "\xC7"
      "eyrek nota Tick say\xFDs\xFD"sv,
      "0013   01   001   \x01   *256^1"sv,
      "0014   E0   224   \xE0   *256^0"sv,
      "\xC7"
      "eyrek nota Tick say\xFDs\xFD= 480"sv,
      ""sv,
      ""sv,
      "----------TRACK CHUNK--------------"sv,
      "Sabit 4 byte"sv,
      "0015   4D   077   M"sv,
      "0016   54   084   T"sv,
      "0017   72   114   r"sv,
      "0018   6B   107   k"sv,
      ""sv,
      "byte olarak track uzunlugu"sv,
      "0019   00   000   \0   *256^3"sv,
      "0020   00   000   \0   *256^2"sv,
      "0021   01   001   \x01   *256^1"sv,
      "0022   2C   044   ,   *256^0"sv,
      "Bu trackde Byte say\xFDs\xFD= 300"sv,
      ""sv,
      ""sv,
      "----------EVENTS--------------"sv,
      ""sv,
      ""sv,
  });
  const ReportRun r = runReport(headerAndTrack());
  EXPECT_EQ(r.text, expected);
  EXPECT_EQ(r.end, 23);
}

// The report's first line; the command line's test shows it there.
TEST(ReportSections, TheNameIsInTheTurkishCodePage) {
  EXPECT_EQ(utf8ToWindows1254("şı Ğİ Çç Öö Üü €é"), "\xFE\xFD \xD0\xDD \xC7\xE7 \xD6\xF6 \xDC\xFC \x80\xE9");
  // Letters the code page lacks (Latin-1 ð gave its place to ğ) and broken
  // UTF-8 stay byte for byte.
  EXPECT_EQ(utf8ToWindows1254("ð日 a\xFF"
                              "b\xC0\xAF\xC3"),
            "ð日 a\xFF"
            "b\xC0\xAF\xC3");
}

TEST(ReportSections, TicksAndTrackLengthAreJoinedAsSignedNumbers) {
  const std::tuple<Bytes, Bytes, std::string, std::string> cases[] = {
      // ticks, length, their lines: ticks unsigned, the length signed
      {{0xFF, 0xFF}, {0x7F, 0xFF, 0xFF, 0xFF}, "= 65535\r\n", "= 2147483647\r\n"},
      {{0x80, 0x00}, {0x80, 0x00, 0x00, 0x00}, "= 32768\r\n", "=-2147483648\r\n"},
  };
  for (const auto& [ticks, length, ticksLine, lengthLine] : cases) {
    Bytes b = headerAndTrack();
    std::copy(ticks.begin(), ticks.end(), b.begin() + 12);
    std::copy(length.begin(), length.end(), b.begin() + 18);
    const std::string text = runReport(b).text;
    EXPECT_NE(text.find("nota Tick say\xFDs\xFD" + ticksLine), npos) << ticksLine;
    EXPECT_NE(text.find("Bu trackde Byte say\xFDs\xFD" + lengthLine), npos) << lengthLine;
  }
}

TEST(ReportSections, AShortFileKeepsTheLabelsAndLeavesTheMissingBytesOut) {
  // Thirteen bytes: position 13 is the high ticks byte, 14 to 22 are missing.
  const std::string text = runReport(Bytes(kHeader.begin(), kHeader.begin() + 13)).text;
  EXPECT_NE(text.find(crlf({"0013   01   001   \x01   *256^1"sv,
                            "\xC7"
                            "eyrek nota Tick say\xFDs\xFD= 256"sv})),
            npos);
  EXPECT_NE(text.find(crlf({"----------TRACK CHUNK--------------"sv, "Sabit 4 byte"sv, ""sv,
                            "byte olarak track uzunlugu"sv, "Bu trackde Byte say\xFDs\xFD= 0"sv, ""sv, ""sv,
                            "----------EVENTS--------------"sv, ""sv, ""sv})),
            npos);
  EXPECT_EQ(text.find("0014"), npos);
}

TEST(ReportWalk, DescribesNotesAndDeltaTimesAndListsOtherBytesRaw) {
  const std::pair<Bytes, std::string> cases[] = {
      // The walk goes on past the end of the track.
      {{0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00},
       crlf({"0023   00   000   \0   "sv, "0024   90   144       NOTE-ON   Kanal= 0"sv,
             "0025   3C   060   <   Pitch=C "sv, "0026   64   100   d   Velo.= 100 "sv,
             "0027   60   096   `   Tik= 96"sv, "0028   80   128   \x80   NOTE-OFF   Kanal= 0"sv,
             "0029   3C   060   <   Pitch=C "sv, "0030   00   000   \0   Velo.= 0 "sv,
             "0031   00   000   \0   Tik= 0"sv, "0032   FF   255   \xFF   SysExMsg ba\xFEl.  "sv,
             "0033   2F   047   /   SysExMsg biter"sv, "0034   00   000   \0   "sv})},
      {{0x90, 0x48, 0x0D, 0x81, 0x00, 0x00},
       crlf({"0023   90   144       NOTE-ON   Kanal= 0"sv, "0024   48   072   H   Pitch=C "sv,
             "0025   0D   013   \r   Velo.= 13 "sv, "0026   81   129   \x81"sv, "0027   00   000   \0   Tik= 128"sv,
             "0028   00   000   \0   "sv})},
      {{0x80, 0x3D, 0x64, 0x82, 0x80, 0x00},
       crlf({"0023   80   128   \x80   NOTE-OFF   Kanal= 0"sv, "0024   3D   061   =   Pitch=C#"sv,
             "0025   64   100   d   Velo.= 100 "sv, "0026   82   130   \x82"sv, "0027   80   128   \x80   "sv,
             "0028   00   000   \0   Tik= 32768"sv})},
      {{0xE0, 0x00, 0x40},
       crlf({"0023   E0   224   \xE0   PTCHBND   Kanal= 0"sv, "0024   00   000   \0"sv,
             "0025   40   064   @   00.00 Cent"sv})},
      // At the scan position 0x0D, 0x81 and 0x90 show a space instead.
      {{0x0D, 0x81, 0x91, 0x0A, 0x85, 0xE1, 0xA0},
       crlf({"0023   0D   013       "sv, "0024   81   129       "sv, "0025   91   145   \x91   "sv,
             "0026   0A   010   \n   "sv, "0027   85   133   \x85   "sv, "0028   E1   225   \xE1   "sv,
             "0029   A0   160   \xA0   "sv})},
      // After a four-byte delta the walk resumes after the status: 0x80 at 27
      // is then a note-off, 28 and 29 its data.
      {{0x90, 0x48, 0x40, 0x81, 0x80, 0x80, 0x00},
       crlf({"0023   90   144       NOTE-ON   Kanal= 0"sv, "0024   48   072   H   Pitch=C "sv,
             "0025   40   064   @   Velo.= 64 "sv, "0026   81   129   \x81"sv, "0027   80   128   \x80   "sv, ""sv,
             "0024   48   072   H   "sv, "0025   40   064   @   "sv, "0026   81   129       "sv,
             "0027   80   128   \x80   NOTE-OFF   Kanal= 0"sv, "0028   80   128   \x80   Pitch=G#"sv,
             "0029   00   000   \0   Velo.= 0 "sv, ""sv})},
      // Inside a meta event every byte is scanned.
      {{0xFF, 0x01, 0x05, 0xF8, 0x90, 0x3D, 0x2F, 0x05, 0xE0, 0x00, 0x40, 0x2F},
       crlf({"0023   FF   255   \xFF   SysExMsg ba\xFEl.  "sv, "0024   01   001   \x01   "sv,
             "0025   05   005   \x05   "sv, "0026   F8   248   \xF8   Clock           "sv,
             "0027   90   144       NOTE-ON   Kanal= 0"sv, "0028   3D   061   =   Pitch=C#"sv,
             "0029   2F   047   /   Velo.= 47 "sv, "0030   05   005   \x05   Tik= 5"sv,
             "0031   E0   224   \xE0   PTCHBND   Kanal= 0"sv, "0032   00   000   \0"sv,
             "0033   40   064   @   00.00 Cent"sv, "0034   2F   047   /   SysExMsg biter"sv})},
  };
  for (const auto& [events, lines] : cases) EXPECT_EQ(walk(events), lines);
}

TEST(ReportWalk, BendsAreInCentsToTheHundredthHalvesAwayFromZero) {
  // 128 steps are exactly 3.125 cents; data bytes of 0x80 and more are not
  // checked, so a bend can go past 200.
  const std::tuple<std::uint8_t, std::uint8_t, char, std::string> cases[] = {
      {0x7F, 0x7F, '.', "199.98"}, {0x00, 0x00, '.', "-200.00"}, {0x00, 0x41, '.', "03.13"}, {0x00, 0x41, ',', "03,13"},
      {0x00, 0x3F, ',', "-03,13"}, {0x7F, 0x3F, '.', "-00.02"},  {0xFF, 0xFF, '.', "603.10"}};
  for (const auto& [lsb, msb, separator, cents] : cases)
    EXPECT_NE(walk({0xE0, lsb, msb}, separator).find("   " + cents + " Cent\r\n"), npos) << cents;
}

TEST(ReportWalk, LabelsEverySystemByteAnd0x2F) {
  const std::string_view labels[16] = {
      "SysExMsg ba\xFEl.  ", "Time code       ", "Position pointer", "Song select     ",
      "Undefined       ",    "Undefined       ", "Tune request    ", "EOX biti\xFE       ",
      "Clock           ",    "(undefined)     ", "Start           ", "Continue        ",
      "Stop            ",    "Undefined       ", "Active Sensing  ", "SysExMsg ba\xFEl.  "};
  Bytes events;
  for (int b = 0xF0; b <= 0xFF; ++b) events.push_back(static_cast<std::uint8_t>(b));
  events.insert(events.end(), {0x2F, 0x1F});  // 0x1F: low nibble 15, but not the end byte
  const std::string w = walk(events);
  std::size_t at = 0;
  for (int i = 0; i < 16; ++i) {
    at = w.find("   " + std::string(1, static_cast<char>(0xF0 + i)) + "   " + std::string(labels[i]) + "\r\n", at);
    ASSERT_NE(at, npos) << "label of 0xF" << std::hex << i;
  }
  EXPECT_TRUE(w.ends_with("0039   2F   047   /   SysExMsg biter\r\n0040   1F   031   \x1F   \r\n"));
}

TEST(ReportWalk, AMessageCutShortByTheEndClosesItsLineAndEndsTheWalk) {
  const std::pair<Bytes, std::string> cases[] = {
      {{0x90}, "0023   90   144       NOTE-ON   Kanal= 0\r\n\r\n"},
      {{0x80, 0x3C}, "0024   3C   060   <   Pitch=C \r\n\r\n"},
      {{0x90, 0x3C, 0x40}, "0025   40   064   @   Velo.= 64 \r\n\r\n"},
      {{0x90, 0x3C, 0x40, 0x81}, "0026   81   129   \x81\r\n\r\n"},
      {{0x90, 0x3C, 0x40, 0x81, 0x80}, "0027   80   128   \x80   \r\n\r\n"},
      {{0xE0}, "0023   E0   224   \xE0   PTCHBND   Kanal= 0\r\n\r\n"},
      {{0xE0, 0x00}, "0024   00   000   \0\r\n\r\n"s},
  };
  for (const auto& [events, tail] : cases) {
    const ReportRun r = runReport(build::wrapTrack(events));
    EXPECT_TRUE(walkOf(r.text).ends_with(tail)) << walkOf(r.text);
    EXPECT_EQ(r.end, 23 + static_cast<std::int64_t>(events.size()));
  }
}

// The report reaches the sink in blocks from a second thread: in order, and
// a sink's failure reaches the caller instead of ending the program.
TEST(ReportBlocks, ALongReportArrivesWholeAndInOrderAndASinkThatThrowsStopsIt) {
  const Bytes file = build::makeMidi(build::makamMelody(4000, 7));
  const std::string text = runReport(file).text;
  ASSERT_GT(text.size(), 6 * BlockWriter::kBlockSize);  // more blocks than are ever in flight
  std::size_t from = 0;
  for (std::size_t p = 23; p <= file.size(); ++p) {
    char line[32];
    std::snprintf(line, sizeof line, "\r\n%04zu   %02X   ", p, file[p - 1]);
    from = text.find(line, from);
    ASSERT_NE(from, npos) << "position " << p;
  }
  struct FailingSink final : ByteSink {
    int writes = 0;
    void write(std::string_view) override {
      if (++writes == 2) throw std::runtime_error("disk gone");
    }
    void patch(std::uint64_t, std::uint8_t) override {}
  } sink;
  EXPECT_THROW(TxtYaz(FileBuffer(file), "song.txt", standardNoteNames(), '.', sink, [](std::int64_t) {}),
               std::runtime_error);
}

}  // namespace
}  // namespace ezg::testing
