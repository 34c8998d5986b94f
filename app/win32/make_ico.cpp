// Writes the window's icon as an icon file for the resource script:
//   make_ico FILE.ico
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/app_icon.h"

namespace {

void put16(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 2; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_ico FILE.ico\n");
    return 2;
  }
  constexpr std::uint32_t size = ezg::kAppIconSize;
  constexpr std::uint32_t maskRow = (size / 8 + 3) / 4 * 4;
  constexpr std::uint32_t imageBytes = 40 + size * size * 4 + maskRow * size;
  std::string out;
  // The directory: one 64 x 64 image of 32 bits a pixel.
  put16(out, 0), put16(out, 1), put16(out, 1);
  out += static_cast<char>(size), out += static_cast<char>(size), out += '\0', out += '\0';
  put16(out, 1), put16(out, 32), put32(out, imageBytes), put32(out, 6 + 16);
  // The image: a bitmap header whose height counts the colour rows and the
  // mask's, the colour rows bottom first in blue, green, red, alpha, then an
  // empty mask, as the alpha channel says what shows.
  put32(out, 40), put32(out, size), put32(out, size * 2), put16(out, 1), put16(out, 32);
  put32(out, 0), put32(out, size * size * 4), put32(out, 0), put32(out, 0), put32(out, 0), put32(out, 0);
  const auto pixels = ezg::appIconPixels();
  for (std::uint32_t row = size; row-- > 0;)
    for (std::uint32_t col = 0; col < size; ++col) put32(out, pixels[row * size + col]);
  out.append(maskRow * size, '\0');

  std::FILE* file = std::fopen(argv[1], "wb");
  if (!file) {
    std::fprintf(stderr, "make_ico: %s: cannot write\n", argv[1]);
    return 1;
  }
  const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  return std::fclose(file) == 0 && written ? 0 : 1;
}
