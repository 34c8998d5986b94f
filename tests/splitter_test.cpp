// The split into copies 13 and 24, its files, and the strip that shows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "midi/safe_write.h"
#include "splitter/note_splitter.h"
#include "splitter/strip.h"
#include "splitter/strip_image.h"
#include "tests/support/temp_dir.h"
#include "tools/midi_builder.h"

namespace ezg {
namespace {

using Offsets = std::vector<std::size_t>;

Offsets diff(const Bytes& a, const Bytes& b) {
  Offsets out;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) out.push_back(i);
  return out;
}

TEST(Splitter, SilencesPacketsAlternatelyInExactlyTheirVelocityBytes) {
  // makeMidi lays a note out in 13 bytes from offset 30: E0 lsb msb | 00 90
  // key vel | 81 70 | 80 key 40; the velocities sit at +6 and +11.
  auto velocities = [](std::initializer_list<std::size_t> notes) {
    Offsets out;
    for (std::size_t n : notes) out.insert(out.end(), {30 + 13 * n + 6, 30 + 13 * n + 11});
    return out;
  };
  const Bytes four = build::makeMidi(std::vector<build::Note>(4));
  const SplitCopies r4 = splitNotes(FileBuffer(four));
  EXPECT_EQ(diff(four, r4.copy13), velocities({1, 3}));
  EXPECT_EQ(diff(four, r4.copy24), velocities({0, 2}));
  EXPECT_EQ(r4.copy13[velocities({1})[0]], 0);
  // The unpaired third packet sounds in both.
  const Bytes three = build::makeMidi(std::vector<build::Note>(3));
  const SplitCopies r3 = splitNotes(FileBuffer(three));
  EXPECT_EQ(diff(three, r3.copy13), velocities({1}));
  EXPECT_EQ(diff(three, r3.copy24), velocities({0}));
  // Far beyond sixteen-bit offsets too.
  Bytes in(1 << 20, 0x00);
  for (std::size_t at : {40'000u, 900'000u}) {
    in[at] = 0xE0;
    in[at + 3] = 0x90;
    in[at + 5] = 99;
  }
  const SplitCopies r = splitNotes(FileBuffer(in));
  EXPECT_EQ(diff(in, r.copy24), Offsets{40'005});
  EXPECT_EQ(diff(in, r.copy13), Offsets{900'005});
}

TEST(Splitter, MessageShapes) {
  struct Case {
    const char* what;
    Bytes tail;  // from offset 30
    Offsets changed13, changed24;
  };
  const Case cases[] = {
      {"note-on at 40: only its velocity at 42, only in copy 24",
       {0xE0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0x90, 60, 100, 0, 0xE0, 0, 0x40}, {}, {41}},
      {"two note-ons and note-offs: only the last of each",
       {0xE0, 0, 0x40, 0x90, 60, 90, 0x90, 64, 91, 0x80, 60, 92, 0x80, 64, 93, 0xE0}, {}, {38, 44}},
      {"note-on without note-off: stores nothing", {0xE0, 0, 0x40, 0xE0, 0, 0x40, 0x90, 62, 70, 0x7F}, {38}, {}},
      {"notes before the first bend: no packet", {0x90, 60, 100, 0x80, 60, 64, 0xE0, 0, 0x40, 0xE0, 0, 0x40}, {}, {}},
      {"other channels are not notes and open no packet",
       {0xE0, 0, 0x40, 0x91, 60, 100, 0x81, 60, 64, 0xE1, 0, 0xE0, 0x9F, 61, 100}, {}, {}},
      {"a velocity past the end is skipped", {0xE0, 0xE0, 0x80, 1}, {}, {}},
      {"one packet only", {0xE0, 0, 0x40, 0x90, 60, 100}, {}, {}},
      {"no pitch bend at all", {0x90, 60, 100, 0x80, 60, 0}, {}, {}},
  };
  for (const Case& c : cases) {
    // 30 bytes the scan never looks at (non-zero, so a stray store at a low
    // offset shows; 0xE0 and 0x90 below position 31 are neither packet nor note).
    Bytes in(30 + c.tail.size(), 0x11);
    std::copy(c.tail.begin(), c.tail.end(), in.begin() + 30);
    in[5] = 0xE0;
    in[10] = 0x90;
    const SplitCopies r = splitNotes(FileBuffer(in));
    EXPECT_EQ(diff(in, r.copy13), c.changed13) << c.what;
    EXPECT_EQ(diff(in, r.copy24), c.changed24) << c.what;
    EXPECT_EQ(r.copy13.size(), in.size()) << c.what;
  }
}

TEST(Splitter, ScanAgreesWithTheByteByByteRuleOnDenseRandomFiles) {
  // Status bytes close together at every position of the scan's 64-byte
  // blocks: several bends in a block, packets spanning blocks.
  std::mt19937 rng(4);
  const std::uint8_t kinds[] = {0xE0, 0x90, 0x80, 0x91, 0x00, 0xFF};
  for (std::size_t size : {0u, 31u, 94u, 95u, 1000u, 4099u, 200'000u}) {
    Bytes in(size);
    for (auto& b : in) b = kinds[rng() % std::size(kinds)];
    std::vector<Packet> want;
    for (std::size_t off = 30; off < size; ++off) {
      const auto at = static_cast<std::int64_t>(off);
      if (in[off] == 0xE0) want.push_back({at, 0, 0});
      if (want.empty()) continue;
      if (in[off] == 0x90) want.back().noteOnOffset = at;
      if (in[off] == 0x80) want.back().noteOffOffset = at;
    }
    std::vector<Packet> got;
    scanPackets(in, [&](const Packet& p, bool) { got.push_back(p); });
    ASSERT_EQ(got.size(), want.size()) << size;
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], want[i]) << size << " packet " << i;
    // Streaming the copies, in blocks, gives what the window's split holds.
    const SplitCopies split = splitNotes(FileBuffer(in));
    MemorySink out13, out24;
    EXPECT_EQ(streamSplit(in, out13, out24), static_cast<std::int64_t>(want.size()));
    EXPECT_EQ(out13.data(), std::string(split.copy13.begin(), split.copy13.end())) << size;
    EXPECT_EQ(out24.data(), std::string(split.copy24.begin(), split.copy24.end())) << size;
  }
}

TEST(SplitFiles, RewritesWholeAndAFailedOutputLeavesBothOldFiles) {
  testing::TempDir dir;
  const SplitCopies split = splitNotes(FileBuffer(build::makeMidi(std::vector<build::Note>(4))));
  auto write = [&](const std::filesystem::path& name13, const std::filesystem::path& name24) {
    SafeFile out13(name13), out24(name24);
    out13.write(testing::asString(split.copy13));
    out24.write(testing::asString(split.copy24));
    return commitBoth(out13, out24);
  };
  dir.write("a_13.mid", std::string(5000, 'x'));
  for (int run = 0; run < 2; ++run) {  // the same bytes twice, no tail of the longer old file
    ASSERT_FALSE(write(dir / "a_13.mid", dir / "a_24.mid"));
    EXPECT_EQ(dir.read("a_13.mid"), testing::asString(split.copy13));
    EXPECT_EQ(dir.read("a_24.mid"), testing::asString(split.copy24));
  }
  // The second output cannot even start: the first must not be renamed.
  dir.write("a_13.mid", "old 13");
  const Status failed = write(dir / "a_13.mid", dir / "missing" / "a_24.mid");
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->code, FailureCode::Missing);
  EXPECT_EQ(failed->detail, (dir / "missing" / "a_24.mid").string());
  EXPECT_EQ(dir.read("a_13.mid"), "old 13");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // no temporaries
}

TEST(Strip, RowsFollowTheFixedScaleAndTheBitmapIsTheDrawnArtworkInTheStoredForm) {
  const std::pair<std::int64_t, int> table[] = {{1, 236},   {3, 235},  {5, 235},  {7, 234},       {11, 233},
                                                {101, 213}, {511, 118}, {1021, 1}, {1023, 0},      {1025, 0},
                                                {1027, 0},  {1029, 0},  {INT64_MAX, 0}, {-5000, 236}};
  for (auto [i, row] : table) EXPECT_EQ(stripSourceRow(i), row) << "packet " << i;
  // A split leaves the strip where its last pair's update put it.
  auto rowAfter = [](int packets) {
    Bytes file(30, 0);
    for (int p = 0; p < packets; ++p) file.insert(file.end(), {0xE0, 0x00, 0x40});
    int row = kStripClosedRow;
    splitNotes(FileBuffer(std::move(file)), [&](std::int64_t i) { row = stripSourceRow(i); });
    return row;
  };
  EXPECT_EQ(rowAfter(12), 233);
  for (int packets = 1024; packets <= 1029; ++packets) EXPECT_EQ(rowAfter(packets), 0) << packets;
  // The bitmap is the drawn artwork in the stored form.
  const auto bmp = stripBitmap();
  const std::uint8_t header[54] = {'B', 'M', 0x0E, 0x19, 0x01, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // 71,950 bytes
                                   40, 0, 0, 0, 50, 0, 0, 0, 0xD9, 0x01, 0, 0,            // 50 x 473
                                   1, 0, 24, 0, 0, 0, 0, 0, 0xD8, 0x18, 0x01, 0};         // image 71,896
  ASSERT_EQ(bmp.size(), 71'950u);
  EXPECT_TRUE(std::equal(header, header + 54, bmp.begin()));
  const Bytes drawn = makeStripBitmap();
  EXPECT_TRUE(std::equal(bmp.begin(), bmp.end(), drawn.begin(), drawn.end()));
  // Bottom row first, blue-green-red, two zero bytes closing each row.
  const std::vector<Rgb> px = drawStrip();
  for (int y = 0; y < kStripHeight; ++y) {
    const std::size_t row = 54 + static_cast<std::size_t>(472 - y) * 152;
    const Rgb& p = px[static_cast<std::size_t>(y * 50 + 24)];
    ASSERT_EQ((Rgb{bmp[row + 74], bmp[row + 73], bmp[row + 72]}), p) << y;
    ASSERT_EQ(bmp[row + 150] | bmp[row + 151], 0) << y;
  }
}

}  // namespace
}  // namespace ezg
