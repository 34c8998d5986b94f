#include "app/app_icon.h"

#include <algorithm>
#include <cmath>

namespace ezg {
namespace {

struct Rgb {
  double r, g, b;
};

// A filled box with rounded corners (radius 0: a plain box) or an ellipse,
// optionally outlined by a pen centred on its edge.
struct Shape {
  enum Kind { Box, Ellipse } kind;
  double left, top, width, height, radius;
  Rgb fill;
  double penWidth = 0;
  Rgb pen{};
};

constexpr Rgb kOrange{255, 128, 0}, kBrown{120, 50, 0}, kYellow{255, 237, 2}, kTeeth{60, 60, 40}, kBlack{0, 0, 0};

std::vector<Shape> iconShapes() {
  std::vector<Shape> shapes{{Shape::Box, 2, 2, 60, 60, 10, kOrange, 2, kBrown},
                            {Shape::Box, 26, 6, 12, 52, 0, kYellow}};
  // Open teeth on both sides above the slider, interlocked below it.
  for (int y = 8; y < 56; y += 5) {
    const bool open = y < 30;
    shapes.push_back({Shape::Box, open ? 24.0 : 28.0, double(y), open ? 4.0 : 8.0, 3, 0, kTeeth});
    if (open) shapes.push_back({Shape::Box, 36, double(y + 2), 4, 3, 0, kTeeth});
  }
  shapes.push_back({Shape::Box, 27, 28, 10, 12, 2, kTeeth});
  shapes.push_back({Shape::Ellipse, 6, 40, 14, 10, 0, kBlack});
  shapes.push_back({Shape::Box, 17, 14, 3, 31, 0, kBlack});
  return shapes;
}

// Distance from the shape's edge, negative inside.
double signedDistance(const Shape& s, double x, double y) {
  const double hw = s.width / 2, hh = s.height / 2;
  const double dx = std::abs(x - (s.left + hw)), dy = std::abs(y - (s.top + hh));
  if (s.kind == Shape::Ellipse) {
    // Scaled to the mean radius: close enough for a pen-less shape.
    return (std::hypot(dx / hw, dy / hh) - 1) * std::min(hw, hh);
  }
  const double qx = dx - (hw - s.radius), qy = dy - (hh - s.radius);
  return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - s.radius;
}

struct Rgba {
  double r = 0, g = 0, b = 0, a = 0;  // premultiplied
  void over(const Rgb& c, double coverage) {
    r = c.r * coverage + r * (1 - coverage);
    g = c.g * coverage + g * (1 - coverage);
    b = c.b * coverage + b * (1 - coverage);
    a = coverage + a * (1 - coverage);
  }
};

}  // namespace

std::vector<std::uint32_t> appIconPixels() {
  const std::vector<Shape> shapes = iconShapes();
  // Edges are smoothed by sampling each pixel on a 4 x 4 grid.
  constexpr int kGrid = 4;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kAppIconSize) * kAppIconSize);
  for (int py = 0; py < kAppIconSize; ++py) {
    for (int px = 0; px < kAppIconSize; ++px) {
      Rgba pixel;
      for (const Shape& s : shapes) {
        int filled = 0, stroked = 0;
        for (int sy = 0; sy < kGrid; ++sy) {
          for (int sx = 0; sx < kGrid; ++sx) {
            const double d = signedDistance(s, px + (sx + 0.5) / kGrid, py + (sy + 0.5) / kGrid);
            filled += d <= 0;
            stroked += s.penWidth > 0 && std::abs(d) <= s.penWidth / 2;
          }
        }
        pixel.over(s.fill, double(filled) / (kGrid * kGrid));
        pixel.over(s.pen, double(stroked) / (kGrid * kGrid));
      }
      const auto channel = [&](double premultiplied) {
        const double straight = pixel.a > 0 ? premultiplied / pixel.a : 0;
        return static_cast<std::uint32_t>(std::lround(std::clamp(straight, 0.0, 255.0)));
      };
      const auto alpha = static_cast<std::uint32_t>(std::lround(pixel.a * 255));
      pixels[static_cast<std::size_t>(py) * kAppIconSize + static_cast<std::size_t>(px)] =
          alpha << 24 | channel(pixel.r) << 16 | channel(pixel.g) << 8 | channel(pixel.b);
    }
  }
  return pixels;
}

}  // namespace ezg
