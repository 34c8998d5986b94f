#include "report/cp1254.h"

#include <array>
#include <cstdint>
#include <utility>

namespace ezg {
namespace {

// Where Windows-1254 differs from Latin-1 in 0x80..0xFF.
constexpr std::array<std::pair<char32_t, unsigned char>, 31> kSpecial = {{
    {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85}, {0x2020, 0x86}, {0x2021, 0x87},
    {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x0152, 0x8C}, {0x2018, 0x91}, {0x2019, 0x92},
    {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97}, {0x02DC, 0x98}, {0x2122, 0x99},
    {0x0161, 0x9A}, {0x203A, 0x9B}, {0x0153, 0x9C}, {0x0178, 0x9F}, {0x011E, 0xD0}, {0x0130, 0xDD}, {0x015E, 0xDE},
    {0x011F, 0xF0}, {0x0131, 0xFD}, {0x015F, 0xFE},
}};

// The Latin-1 letters whose places the Turkish ones took.
bool replacedInTurkish(char32_t c) {
  return c == 0xD0 || c == 0xDD || c == 0xDE || c == 0xF0 || c == 0xFD || c == 0xFE;
}

int byteIn1254(char32_t c) {
  if (c < 0x80) return static_cast<int>(c);
  for (const auto& [code, byte] : kSpecial)
    if (code == c) return byte;
  if (c >= 0xA0 && c <= 0xFF && !replacedInTurkish(c)) return static_cast<int>(c);
  return -1;
}

// Decodes one UTF-8 sequence at `s`; returns its length, 0 if invalid.
std::size_t decode(std::string_view s, char32_t& c) {
  const auto b0 = static_cast<unsigned char>(s[0]);
  std::size_t n = b0 < 0x80 ? 1 : (b0 >> 5) == 0x6 ? 2 : (b0 >> 4) == 0xE ? 3 : (b0 >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || n > s.size()) return 0;
  c = n == 1 ? b0 : b0 & (0x7F >> n);
  for (std::size_t i = 1; i < n; ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if ((b & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b & 0x3F);
  }
  static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  return c < kLeast[n] || c > 0x10FFFF ? 0 : n;
}

}  // namespace

std::string utf8ToWindows1254(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    char32_t c = 0;
    std::size_t n = decode(utf8, c);
    const int byte = n ? byteIn1254(c) : -1;
    if (n == 0) n = 1;
    if (byte >= 0)
      out.push_back(static_cast<char>(byte));
    else
      out.append(utf8.substr(0, n));
    utf8.remove_prefix(n);
  }
  return out;
}

}  // namespace ezg
