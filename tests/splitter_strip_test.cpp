#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "splitter/note_splitter.h"
#include "splitter/strip.h"
#include "splitter/strip_image.h"

namespace ezg {
namespace {

TEST(StripRow, FollowsTheFixedScaleAndStaysInsideTheImage) {
  const std::pair<std::int64_t, int> table[] = {
      {1, 236},   {3, 235},  {5, 235},  {7, 234},    {11, 233},        {101, 213},        {511, 118},
      {1021, 1},  {1023, 0}, {1025, 0}, {1027, 0},   {1029, 0},        {INT64_MAX, 0},    {-5000, 236}};
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
}

TEST(StripBitmap, IsTheDrawnArtworkInTheStoredForm) {
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
    const Rgb stored{bmp[row + 74], bmp[row + 73], bmp[row + 72]};
    ASSERT_EQ(stored, p) << y;
    ASSERT_EQ(bmp[row + 150] | bmp[row + 151], 0) << y;
  }
}

TEST(StripBitmap, FollowsTheContentTable) {
  const std::vector<Rgb> px = drawStrip();
  auto at = [&](int x, int y) { return px[static_cast<std::size_t>(y * kStripWidth + x)]; };
  auto dark = [&](int x, int y) { return at(x, y).g < 128; };
  // Columns of row y drawn neither in ground nor in white lie in [x0, x1].
  auto drawnWithin = [&](int y, int x0, int x1) {
    for (int x = 0; x < kStripWidth; ++x)
      if (at(x, y) != kStripGround && at(x, y) != kStripWhite && (x < x0 || x > x1)) return false;
    return true;
  };
  const Rgb w = kStripWhite;
  for (int y = 0; y < kStripHeight; ++y) {
    const bool edges = at(0, y) == w && at(48, y) == w && at(49, y) == w;
    const bool open = y > 209 || (at(14, y) == w && at(34, y) == w && at(13, y) != w && drawnWithin(y, 10, 38));
    const bool meet = y < 248 || y > 250 || drawnWithin(y, 20, 28);
    const bool slider = y < 253 || y > 276 || (dark(20, y) && dark(29, y) && drawnWithin(y, 19, 30));
    const bool closed = y < 278 || drawnWithin(y, 21, 28);
    ASSERT_TRUE(edges && open && meet && slider && closed) << "row " << y;
  }
  EXPECT_EQ(at(5, 100), kStripGround);
  EXPECT_TRUE(dark(11, 1) && dark(11, 6) && !dark(11, 4));  // a tooth every 5 rows
  EXPECT_TRUE(at(24, 247) == kStripWhite && at(23, 247) != kStripWhite && at(25, 247) != kStripWhite);
  EXPECT_TRUE(dark(22, 279) && drawnWithin(471, 99, 99) && drawnWithin(472, 99, 99));
}

}  // namespace
}  // namespace ezg
