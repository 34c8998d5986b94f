// The split into copies 13 and 24, and the strip that shows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "splitter/note_splitter.h"
#include "splitter/strip.h"
#include "splitter/strip_image.h"
#include "tests/support/split_files.h"
#include "tests/support/temp_dir.h"
#include "fixtures/midi_builder.h"

namespace ezg {
namespace {

using Offsets = std::vector<std::size_t>;

// The offsets where `copy` differs from `in`; each must have been set to 0.
Offsets silenced(const Bytes& in, const Bytes& copy) {
  EXPECT_EQ(copy.size(), in.size());
  Offsets out;
  for (std::size_t i = 0; i < in.size(); ++i)
    if (in[i] != copy[i]) {
      out.push_back(i);
      EXPECT_EQ(copy[i], 0) << i;
    }
  return out;
}

struct Streamed {
  std::string bytes;
  std::int64_t packets = 0;
  std::size_t lead = 0;  // how far the reads ever ran ahead of the output
};

// A copy streamed from reads of uneven length, up to `longest`.
Streamed streamed(const Bytes& in, SplitCopy which, std::mt19937& rng, std::size_t longest) {
  MemorySink out;
  std::span<const std::uint8_t> rest(in);
  Streamed r;
  r.packets = streamCopy(
      [&](std::span<std::uint8_t> into) {
        r.lead = std::max(r.lead, in.size() - rest.size() - out.data().size());
        const std::size_t n = std::min({rest.size(), into.size(), std::size_t{1} + rng() % longest});
        std::copy_n(rest.begin(), n, into.begin());
        rest = rest.subspan(n);
        return n;
      },
      which, out);
  r.bytes = out.take();
  return r;
}

// In each pair copy 24 silences the first packet and copy 13 the second; an
// unpaired last one sounds in both. Long packets past 16-bit offsets, with
// their notes right after the bend: a streamed copy has written them long
// before the packet closes.
TEST(Split, SilencesPacketsAlternatelyAsInMemoryWhileTheStreamHoldsLittle) {
  Bytes in(6 << 20, 0x00);
  const std::size_t bends[] = {40'000, 1'900'000, 1'900'020, 1'900'040, 1'900'060};
  for (std::size_t at : bends) in[at] = 0xE0, in[at + 3] = 0x90, in[at + 5] = 99, in[at + 9] = 0x80, in[at + 11] = 9;
  std::mt19937 rng(7);
  for (const auto& [which, want] : {std::pair{SplitCopy::Copy13, Offsets{1'900'005, 1'900'011, 1'900'045, 1'900'051}},
                                    {SplitCopy::Copy24, Offsets{40'005, 40'011, 1'900'025, 1'900'031}}}) {
    // After each pair the window is told the pair's first packet, from 1.
    std::vector<std::int64_t> told;
    const Bytes copy = splitOneCopy(FileBuffer(in), which, [&](std::int64_t i) { told.push_back(i); });
    EXPECT_EQ(silenced(in, copy), want);
    EXPECT_EQ(told, (std::vector<std::int64_t>{1, 3}));
    const Streamed r = streamed(in, which, rng, 70'000);
    EXPECT_TRUE(r.bytes == testing::asString(copy) && r.packets == 5);
    EXPECT_LE(r.lead, std::size_t{1} << 20);
  }
}

TEST(Split, SilencesOnlyTheLastChannelOneNoteOfEachKindInAPacket) {
  const std::tuple<const char*, Bytes, Offsets, Offsets> cases[] = {
      // bytes from offset 30, silenced 13 and 24
      {"the velocity, not the key", {0xE0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0x90, 60, 100, 0, 0xE0, 0, 0x40}, {}, {41}},
      {"the last of each", {0xE0, 0, 0x40, 0x90, 60, 90, 0x90, 64, 91, 0x80, 60, 92, 0x80, 64, 93, 0xE0}, {}, {38, 44}},
      {"a note-on without note-off", {0xE0, 0, 0x40, 0xE0, 0, 0x40, 0x90, 62, 70, 0x7F}, {38}, {}},
      {"notes before the first bend", {0x90, 60, 100, 0x80, 60, 64, 0xE0, 0, 0x40, 0xE0, 0, 0x40}, {}, {}},
      {"other channels", {0xE0, 0, 0x40, 0x91, 60, 100, 0x81, 60, 64, 0xE1, 0, 0xE0, 0x9F, 61, 100}, {}, {}},
      {"a velocity past the end", {0xE0, 0xE0, 0x80, 1}, {}, {}},
      {"no pitch bend at all", {0x90, 60, 100, 0x80, 60, 0}, {}, {}},
  };
  for (const auto& [what, tail, in13, in24] : cases) {
    // The first 30 bytes are never scanned: non-zero, so that a stray store
    // shows, with a bend and a note-on that must be ignored.
    Bytes in(30 + tail.size(), 0x11);
    std::copy(tail.begin(), tail.end(), in.begin() + 30);
    in[5] = 0xE0;
    in[10] = 0x90;
    const testing::BothCopies r = testing::splitBoth(in);
    EXPECT_EQ(silenced(in, r.copy13), in13) << what;
    EXPECT_EQ(silenced(in, r.copy24), in24) << what;
  }
}

TEST(Strip, RowsFollowTheFixedScale) {
  const std::pair<std::int64_t, int> table[] = {{1, 236},   {3, 235},     {5, 235},      {7, 234},  {11, 233},
                                                {101, 213}, {511, 118},   {1021, 1},     {1023, 0}, {1025, 0},
                                                {1029, 0},  {-5000, 236}, {INT64_MAX, 0}};
  for (auto [i, row] : table) EXPECT_EQ(stripSourceRow(i), row) << "packet " << i;
}

TEST(Strip, TheBitmapHoldsTheDrawnArtworkBottomRowFirstInBlueGreenRed) {
  const auto bmp = stripBitmap();
  const std::uint8_t header[54] = {'B', 'M', 0x0E, 0x19, 0x01, 0, 0, 0, 0,    0,    54,   0, 0, 0,  // 71,950 bytes
                                   40,  0,   0,    0,    50,   0, 0, 0, 0xD9, 0x01, 0,    0,        // 50 x 473
                                   1,   0,   24,   0,    0,    0, 0, 0, 0xD8, 0x18, 0x01, 0};       // image 71,896
  ASSERT_EQ(bmp.size(), 71'950u);
  EXPECT_TRUE(std::equal(header, header + 54, bmp.begin()));
  // Two zero bytes close each row.
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
