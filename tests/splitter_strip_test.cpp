#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "splitter/note_splitter.h"
#include "splitter/strip.h"
#include "splitter/strip_image.h"

namespace ezg {
namespace {

TEST(StripRow, FollowsTheFixedScaleOf1025Packets) {
  const std::pair<int, int> table[] = {{1, 236},   {3, 235},  {5, 235},  {7, 234},   {11, 233},   {101, 213},
                                       {511, 118}, {1021, 1}, {1023, 0}, {1025, 0},  {1027, 0},   {1029, 0},
                                       {1031, 0},  {5001, 0}};
  for (auto [i, row] : table) EXPECT_EQ(stripSourceRow(i), row) << "packet " << i;
  EXPECT_EQ(stripSourceRow(INT64_MAX), kStripOpenRow);
  EXPECT_EQ(stripSourceRow(-5000), kStripClosedRow);
}

// The strip ends where the last pair's update put it.
int rowAfterSplitting(int packets) {
  Bytes file(30, 0);
  for (int p = 0; p < packets; ++p) file.insert(file.end(), {0xE0, 0x00, 0x40});
  int row = kStripClosedRow;
  splitNotes(FileBuffer(std::move(file)), [&](std::int64_t i) { row = stripSourceRow(i); });
  return row;
}

TEST(StripRow, EndsWhereTheLastPairLeftIt) {
  EXPECT_EQ(rowAfterSplitting(12), 233);
  EXPECT_EQ(rowAfterSplitting(1), kStripClosedRow);
  for (int packets = 1024; packets <= 1029; ++packets)
    EXPECT_EQ(rowAfterSplitting(packets), kStripOpenRow) << packets << " packets";
}

std::uint32_t le(std::span<const std::uint8_t> b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int k = bytes - 1; k >= 0; --k) v = v << 8 | b[at + static_cast<std::size_t>(k)];
  return v;
}

TEST(StripBitmap, HasTheStoredLayout) {
  const auto bmp = stripBitmap();
  ASSERT_EQ(bmp.size(), 71'950u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(le(bmp, 2, 4), 71'950u);
  EXPECT_EQ(le(bmp, 6, 4), 0u);  // both reserved fields
  EXPECT_EQ(le(bmp, 10, 4), 54u);
  EXPECT_EQ(le(bmp, 14, 4), 40u);
  EXPECT_EQ(le(bmp, 18, 4), 50u);
  EXPECT_EQ(le(bmp, 22, 4), 473u);  // positive: bottom row first
  EXPECT_EQ(le(bmp, 26, 2), 1u);
  EXPECT_EQ(le(bmp, 28, 2), 24u);
  EXPECT_EQ(le(bmp, 30, 4), 0u);
  EXPECT_EQ(le(bmp, 34, 4), 71'896u);
  for (std::size_t at = 38; at < 54; ++at) EXPECT_EQ(bmp[at], 0) << at;
  for (std::size_t row = 0; row < 473; ++row) {
    EXPECT_EQ(bmp[54 + row * 152 + 150], 0);
    EXPECT_EQ(bmp[54 + row * 152 + 151], 0);
  }
}

TEST(StripBitmap, EmbedsTheArtworkBottomRowFirstInBlueGreenRed) {
  const auto bmp = stripBitmap();
  const Bytes drawn = makeStripBitmap();
  EXPECT_TRUE(std::equal(bmp.begin(), bmp.end(), drawn.begin(), drawn.end()));

  const std::vector<Rgb> px = drawStrip();
  auto stored = [&](int x, int y) {
    const std::size_t at = 54 + static_cast<std::size_t>(472 - y) * 152 + static_cast<std::size_t>(x) * 3;
    return Rgb{bmp[at + 2], bmp[at + 1], bmp[at]};
  };
  for (auto [x, y] : {std::pair{5, 0}, {24, 100}, {24, 260}, {24, 300}, {30, 472}})
    EXPECT_EQ(stored(x, y), px[static_cast<std::size_t>(y * 50 + x)]) << x << "," << y;
}

class StripArt : public ::testing::Test {
 protected:
  std::vector<Rgb> px = drawStrip();
  Rgb at(int x, int y) const { return px[static_cast<std::size_t>(y * kStripWidth + x)]; }
  bool dark(int x, int y) const { return at(x, y).g < 128; }
  // Columns of row y that are neither ground nor white.
  std::vector<int> drawnColumns(int y) const {
    std::vector<int> xs;
    for (int x = 0; x < kStripWidth; ++x)
      if (at(x, y) != kStripGround && at(x, y) != kStripWhite) xs.push_back(x);
    return xs;
  }
};

TEST_F(StripArt, FollowsTheContentTable) {
  ASSERT_EQ(px.size(), 50u * 473u);
  for (int y = 0; y < 473; ++y)
    for (int x : {0, 48, 49}) ASSERT_EQ(at(x, y), kStripWhite) << x << "," << y;
  EXPECT_EQ(at(5, 0), kStripGround);
  EXPECT_EQ(at(44, 300), kStripGround);

  // Open zipper: a 21-pixel white gap, teeth beside it every 5 rows.
  for (int y = 0; y <= 209; ++y) {
    EXPECT_NE(at(13, y), kStripWhite) << y;
    EXPECT_NE(at(35, y), kStripWhite) << y;
    for (int x = 14; x <= 34; ++x) ASSERT_EQ(at(x, y), kStripWhite) << x << "," << y;
    for (int x : drawnColumns(y)) EXPECT_TRUE((x >= 10 && x <= 13) || (x >= 35 && x <= 38)) << x << "," << y;
    if (y + 5 <= 209) {
      EXPECT_EQ(dark(11, y), dark(11, y + 5)) << y;
    }
  }
  EXPECT_TRUE(dark(11, 1));

  // The V closes to one white pixel at column 24.
  EXPECT_EQ(at(24, 247), kStripWhite);
  EXPECT_NE(at(23, 247), kStripWhite);
  EXPECT_NE(at(25, 247), kStripWhite);
  for (int y = 248; y <= 470; ++y) EXPECT_NE(at(24, y), kStripWhite) << y;

  // Teeth meet, then the slider: dark all through rows 253-276.
  for (int y = 248; y <= 250; ++y)
    for (int x : drawnColumns(y)) EXPECT_TRUE(x >= 20 && x <= 28) << x << "," << y;
  for (int y = 253; y <= 276; ++y) {
    EXPECT_TRUE(dark(20, y) && dark(29, y)) << y;
    for (int x : drawnColumns(y)) EXPECT_TRUE(x >= 19 && x <= 30) << x << "," << y;
  }

  // Closed teeth within columns 21-28; nothing drawn on the last two rows.
  for (int y = 278; y <= 470; ++y)
    for (int x : drawnColumns(y)) EXPECT_TRUE(x >= 21 && x <= 28) << x << "," << y;
  EXPECT_TRUE(dark(22, 279));
  EXPECT_TRUE(drawnColumns(471).empty());
  EXPECT_TRUE(drawnColumns(472).empty());
}

}  // namespace
}  // namespace ezg
