// The window's icon, drawn by code without a toolkit, so that every shell
// shows the same picture: an orange tile with a zipper and a note head.
#pragma once

#include <cstdint>
#include <vector>

namespace ezg {

inline constexpr int kAppIconSize = 64;

// kAppIconSize x kAppIconSize pixels, rows from the top, each 0xAARRGGBB
// with straight (not premultiplied) alpha.
std::vector<std::uint32_t> appIconPixels();

}  // namespace ezg
