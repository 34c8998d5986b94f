// The zipper strip image: its artwork, drawn by code, and its stored form,
// a 24-bit bottom-up bitmap file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "midi/bytes.h"

namespace ezg {

inline constexpr int kStripWidth = 50;
inline constexpr int kStripHeight = 473;
inline constexpr std::size_t kStripRowBytes = 152;  // 50 x 3 bytes, padded to a multiple of 4
inline constexpr std::size_t kStripBitmapSize = 14 + 40 + kStripRowBytes * kStripHeight;  // 71,950

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kStripGround{255, 237, 2};
inline constexpr Rgb kStripWhite{255, 255, 255};

// kStripWidth x kStripHeight pixels, row 0 (the top) first.
std::vector<Rgb> drawStrip();

// The stored form: file header, 40-byte information header, then the rows
// bottom row first, each pixel blue-green-red, each row padded with zeros.
Bytes encodeBitmap24(const std::vector<Rgb>& pixels, int width, int height);

// encodeBitmap24(drawStrip(), kStripWidth, kStripHeight).
Bytes makeStripBitmap();

}  // namespace ezg
