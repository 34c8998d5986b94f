#include "splitter/strip_image.h"

#include <cmath>

namespace ezg {
namespace {

// Rows where the picture changes, top to bottom.
constexpr int kOpenEnd = 209;      // open zipper: rows 0-209
constexpr int kVEnd = 247;         // the gap narrows to one pixel here
constexpr int kMeetFirst = 248;    // the two rows of teeth meet: 248-250
constexpr int kSliderFirst = 253;  // slider body: 253-276
constexpr int kSliderLast = 276;
constexpr int kClosedFirst = 278;  // closed teeth: 278-470
constexpr int kClosedLast = 470;
constexpr int kCentre = 24;       // the column the gap closes on
constexpr int kOpenHalfGap = 10;  // gap 14-34: 21 pixels
constexpr int kToothWidth = 4;
constexpr int kToothPeriod = 5;

constexpr Rgb kToothBody{92, 88, 28};  // dark olive
constexpr Rgb kToothCore{64, 64, 58};  // dark grey, where teeth interlock
constexpr Rgb kSliderBody{48, 48, 44};
constexpr Rgb kPullTab{122, 120, 104};

// Blends a colour toward the yellow ground; t = 0 keeps it, 1 gives ground.
Rgb towardGround(Rgb c, double t) {
  auto mix = [t](std::uint8_t a, std::uint8_t b) { return static_cast<std::uint8_t>(std::lround(a + (b - a) * t)); };
  return {mix(c.r, kStripGround.r), mix(c.g, kStripGround.g), mix(c.b, kStripGround.b)};
}

const Rgb kToothEdge = towardGround(kToothBody, 0.5);

class Canvas {
 public:
  Canvas() : pixels_(static_cast<std::size_t>(kStripWidth * kStripHeight), kStripGround) {}
  void set(int x, int y, Rgb c) {
    if (x >= 0 && x < kStripWidth && y >= 0 && y < kStripHeight)
      pixels_[static_cast<std::size_t>(y) * kStripWidth + static_cast<std::size_t>(x)] = c;
  }
  void span(int x0, int x1, int y, Rgb c) {
    for (int x = x0; x <= x1; ++x) set(x, y, c);
  }
  std::vector<Rgb> take() { return std::move(pixels_); }

 private:
  std::vector<Rgb> pixels_;
};

// One row of a tooth: shaded top and bottom rows, a solid middle row whose
// outer end fades into the tape and whose inner end is darker.
void toothRow(Canvas& c, int x0, int x1, int y, int phase, bool innerAtRight) {
  if (phase == 0 || phase == 2) {
    c.span(x0, x1, y, kToothEdge);
  } else if (phase == 1) {
    c.span(x0, x1, y, kToothBody);
    c.set(innerAtRight ? x0 : x1, y, kToothEdge);
    c.set(innerAtRight ? x1 : x0, y, kToothCore);
  }
}

// The open part and the V: a white gap of half-width h around the centre,
// with a row of teeth on either side. The right teeth sit two rows lower so
// the two sides interlock when they meet.
void drawOpenRow(Canvas& c, int y, int h) {
  c.span(kCentre - h, kCentre + h, y, kStripWhite);
  const int leftX1 = kCentre - h - 1;
  const int rightX0 = kCentre + h + 1;
  toothRow(c, leftX1 - kToothWidth + 1, leftX1, y, y % kToothPeriod, true);
  toothRow(c, rightX0, rightX0 + kToothWidth - 1, y, (y + kToothPeriod - 2) % kToothPeriod, false);
}

void drawMeeting(Canvas& c) {
  for (int y = kMeetFirst; y < kMeetFirst + 3; ++y) {
    const bool middle = y == kMeetFirst + 1;
    c.span(20, 28, y, middle ? kToothBody : kToothEdge);
    c.set(kCentre, y, kToothCore);
  }
}

void drawSlider(Canvas& c) {
  for (int y = kSliderFirst; y <= kSliderLast; ++y) {
    c.span(19, 30, y, kSliderBody);
    const Rgb side = towardGround(kSliderBody, 0.3);
    c.set(19, y, side);
    c.set(30, y, side);
  }
  // Rounded corners, a lit top edge and the pull tab with its hole.
  for (int x : {19, 30})
    for (int y : {kSliderFirst, kSliderLast}) c.set(x, y, towardGround(kSliderBody, 0.6));
  c.span(20, 29, kSliderFirst, towardGround(kSliderBody, 0.2));
  for (int y = kSliderFirst + 4; y <= kSliderLast - 4; ++y) c.span(23, 26, y, kPullTab);
  for (int y = kSliderLast - 9; y <= kSliderLast - 6; ++y) c.span(24, 25, y, kSliderBody);
}

// Closed teeth: one interlocked tooth every 5 rows, joined by a seam.
void drawClosedRow(Canvas& c, int y) {
  switch ((y - kClosedFirst) % kToothPeriod) {
    case 0:
    case 2: c.span(22, 27, y, kToothEdge); break;
    case 1:
      c.span(21, 28, y, kToothBody);
      c.set(21, y, kToothEdge);
      c.set(28, y, kToothEdge);
      c.span(24, 25, y, kToothCore);
      break;
    default: c.span(24, 25, y, kToothEdge); break;
  }
}

void put16(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(Bytes& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

}  // namespace

std::vector<Rgb> drawStrip() {
  Canvas c;
  for (int y = 0; y <= kOpenEnd; ++y) drawOpenRow(c, y, kOpenHalfGap);
  // The V: the half-width falls from 10 to 0 over rows 210-247.
  for (int y = kOpenEnd + 1; y <= kVEnd; ++y) {
    const double left = static_cast<double>(kVEnd - y) / (kVEnd - kOpenEnd - 1);
    drawOpenRow(c, y, static_cast<int>(std::lround(kOpenHalfGap * left)));
  }
  drawMeeting(c);
  drawSlider(c);
  for (int y = kClosedFirst; y <= kClosedLast; ++y) drawClosedRow(c, y);
  // The white edge runs down every row.
  for (int y = 0; y < kStripHeight; ++y)
    for (int x : {0, kStripWidth - 2, kStripWidth - 1}) c.set(x, y, kStripWhite);
  return c.take();
}

Bytes encodeBitmap24(const std::vector<Rgb>& pixels, int width, int height) {
  const auto rowBytes = static_cast<std::uint32_t>((width * 3 + 3) / 4 * 4);
  const std::uint32_t imageSize = rowBytes * static_cast<std::uint32_t>(height);
  Bytes out;
  out.reserve(54 + imageSize);
  // File header.
  out.insert(out.end(), {'B', 'M'});
  put32(out, 54 + imageSize);
  put16(out, 0);
  put16(out, 0);
  put32(out, 54);
  // Information header: a positive height means the bottom row comes first.
  put32(out, 40);
  put32(out, static_cast<std::uint32_t>(width));
  put32(out, static_cast<std::uint32_t>(height));
  put16(out, 1);   // planes
  put16(out, 24);  // bits per pixel
  put32(out, 0);   // no compression
  put32(out, imageSize);
  for (int i = 0; i < 4; ++i) put32(out, 0);  // resolution, colour counts
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const Rgb& p =
          pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
      out.insert(out.end(), {p.b, p.g, p.r});
    }
    out.resize(out.size() + (rowBytes - static_cast<std::uint32_t>(width) * 3), 0);
  }
  return out;
}

Bytes makeStripBitmap() { return encodeBitmap24(drawStrip(), kStripWidth, kStripHeight); }

}  // namespace ezg
