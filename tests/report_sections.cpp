// The report file as a whole: first line, header chunk, track head, the
// text conventions, and files too short for the fixed layout.
#include <gtest/gtest.h>

#include <algorithm>

#include "report/cp1254.h"
#include "tests/report_support.h"

namespace ezg::testing {
namespace {

using namespace std::literals;

const Bytes kHeader = {0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x01, 0x00, 0x02, 0x01, 0xE0};
const Bytes kTrackHead = {0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00, 0x01, 0x2C};

Bytes headerAndTrack() {
  Bytes b = kHeader;
  b.insert(b.end(), kTrackHead.begin(), kTrackHead.end());
  return b;
}

TEST(ReportSections, TwentyTwoByteFileGivesBothSectionsAndAnEmptyWalk) {
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
      "\xC7" "eyrek nota Tick say\xFDs\xFD"sv,
      "0013   01   001   \x01   *256^1"sv,
      "0014   E0   224   \xE0   *256^0"sv,
      "\xC7" "eyrek nota Tick say\xFDs\xFD= 480"sv,
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
  EXPECT_TRUE(r.warnings.empty());
}

TEST(ReportSections, JoinedNumbersAndWrappedTrackLength) {
  struct Case {
    Bytes ticks, length;
    std::string_view ticksLine, lengthLine;
  };
  const Case cases[] = {
      {{0x00, 0x60}, {0, 0, 0, 0}, "= 96\r\n", "= 0\r\n"},
      {{0xFF, 0xFF}, {0x7F, 0xFF, 0xFF, 0xFF}, "= 65535\r\n", "= 2147483647\r\n"},
      {{0x00, 0x00}, {0x80, 0x00, 0x00, 0x00}, "= 0\r\n", "=-2147483648\r\n"},
      {{0x80, 0x00}, {0xFF, 0xFF, 0xFF, 0xFF}, "= 32768\r\n", "=-1\r\n"},
  };
  for (const Case& c : cases) {
    Bytes b = headerAndTrack();
    std::copy(c.ticks.begin(), c.ticks.end(), b.begin() + 12);
    std::copy(c.length.begin(), c.length.end(), b.begin() + 18);
    const std::string text = runReport(b).text;
    EXPECT_NE(text.find("\xC7" "eyrek nota Tick say\xFDs\xFD" + std::string(c.ticksLine)), std::string::npos)
        << c.ticksLine;
    EXPECT_NE(text.find("Bu trackde Byte say\xFDs\xFD" + std::string(c.lengthLine)), std::string::npos)
        << c.lengthLine;
  }
}

TEST(ReportSections, LineBreakBytesInTheHeaderAreWrittenRaw) {
  Bytes b = headerAndTrack();
  b[4] = 0x0D;   // position 5
  b[7] = 0x0A;   // position 8
  b[16] = 0xFF;  // position 17
  const std::string text = runReport(b).text;
  EXPECT_NE(text.find("Sabit 4 byte\r\n0005   0D   013   \r\r\n0006"), std::string::npos);
  EXPECT_NE(text.find("0008   0A   010   \n\r\n\r\nMidi Format"), std::string::npos);
  EXPECT_NE(text.find("0017   FF   255   \xFF\r\n"), std::string::npos);
}

TEST(ReportSections, ShortFileKeepsLabelsAndLeavesMissingBytesOut) {
  // Thirteen bytes: position 13 is the high ticks byte, 14 to 22 are missing.
  Bytes b(kHeader.begin(), kHeader.begin() + 13);
  const std::string text = runReport(b).text;
  EXPECT_NE(text.find(crlf({"\xC7" "eyrek nota Tick say\xFDs\xFD"sv, "0013   01   001   \x01   *256^1"sv,
                            "\xC7" "eyrek nota Tick say\xFDs\xFD= 256"sv})),
            std::string::npos);
  EXPECT_NE(text.find(crlf({"----------TRACK CHUNK--------------"sv, "Sabit 4 byte"sv, ""sv,
                            "byte olarak track uzunlugu"sv, "Bu trackde Byte say\xFDs\xFD= 0"sv, ""sv, ""sv,
                            "----------EVENTS--------------"sv, ""sv, ""sv})),
            std::string::npos);
  EXPECT_EQ(text.find("0014"), std::string::npos);

  // An empty buffer still gives every label, and no byte lines at all.
  const std::string empty = runReport({}).text;
  EXPECT_EQ(empty.find("   *256^"), std::string::npos);
  EXPECT_NE(empty.find("Midi Format tipi 2 byte\r\n0=single"), std::string::npos);
  EXPECT_TRUE(empty.ends_with("----------EVENTS--------------\r\n\r\n\r\n"));
}

TEST(ReportSections, FirstLineIsTheNameInTheTurkishCodePage) {
  const std::string text = runReport(headerAndTrack(), '.', "şarkı_Ğİ.txt").text;
  EXPECT_TRUE(text.starts_with("\xFE" "ark\xFD_\xD0\xDD.txt\r\n\r\n----------HEADER"));
  EXPECT_EQ(utf8ToWindows1254("Çç Öö Üü €é"), "\xC7\xE7 \xD6\xF6 \xDC\xFC \x80\xE9");
  // Letters the code page lacks (Latin-1 ð gave its place to ğ) and broken
  // UTF-8 stay byte for byte.
  EXPECT_EQ(utf8ToWindows1254("ð日 a\xFF" "b\xC0\xAF\xC3"), "ð日 a\xFF" "b\xC0\xAF\xC3");
}

// Counts what reaches the sink without keeping it.
class CountingSink final : public ByteSink {
 public:
  void write(std::string_view bytes) override {
    total += bytes.size();
    largest = std::max(largest, bytes.size());
    ++writes;
  }
  std::size_t total = 0, largest = 0, writes = 0;
};

TEST(ReportSections, LongFilesAreStreamedInBlocksAndWalkedToTheEnd) {
  // 100,001 bytes: past any 16-bit position, and six-digit positions.
  Bytes events(100001 - 22, 0x41);
  events[10000 - 23] = 0x0A;
  const Bytes file = withEvents(events);

  CountingSink counter;
  const auto end = TxtYaz(FileBuffer(file), "song.txt", standardNoteNames(), '.', counter, {});
  EXPECT_EQ(end, 100002);
  EXPECT_LE(counter.largest, std::size_t{1} << 16);
  EXPECT_GT(counter.writes, 30u);

  const std::string text = runReport(file).text;
  EXPECT_EQ(text.size(), counter.total);
  EXPECT_NE(text.find("\r\n9999   41   065   A   \r\n10000   0A   010   \n   \r\n10001   41"), std::string::npos);
  EXPECT_TRUE(text.ends_with("\r\n100001   41   065   A   \r\n\r\n\r\n"));
}

}  // namespace
}  // namespace ezg::testing
