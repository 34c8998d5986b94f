// The progress strip: which rows of the zipper image the strip window shows.
#pragma once

#include <cstdint>
#include <span>

namespace ezg {

// The strip window shows kStripWindowRows rows of the image from a source row.
inline constexpr int kStripWindowRows = 236;
inline constexpr int kStripClosedRow = 236;  // slider near the top, closed teeth below
inline constexpr int kStripOpenRow = 0;      // open zipper, the V at the bottom

// The scale is fixed: the zipper is open at packet 1,025 whatever the file.
inline constexpr double kStripScalePackets = 1025.0;

// round(236 - (i / 1025) * 236), held at the open state from packet 1,028 on
// so the window never looks above the image (and at the closed state for
// numbers below 1, which no split gives).
int stripSourceRow(std::int64_t packetNumber);

// The strip image's bitmap file, drawn at build time and embedded.
std::span<const std::uint8_t> stripBitmap();

}  // namespace ezg
