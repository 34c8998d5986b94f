#include "files/utf8_path.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace ezg {

std::string printable(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  auto escaped = [](unsigned char c) { return std::string{'\\', 'x', kHex[c >> 4], kHex[c & 15]}; };
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    // U+0080 to U+009F: C2 80 to C2 9F.
    const bool c1 = c == 0xc2 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xe0) == 0x80;
    if (c >= 0x20 && c != 0x7f && !c1)
      shown += text[i];
    else if (c == '\n')
      shown += "\\n";
    else if (c == '\r')
      shown += "\\r";
    else if (c == '\t')
      shown += "\\t";
    else
      shown += escaped(c);
    if (c1) shown += escaped(static_cast<unsigned char>(text[++i]));
  }
  return shown;
}

#ifdef _WIN32

std::wstring wideOf(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), n);
  return wide;
}

std::string utf8Of(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

std::filesystem::path pathOf(std::string_view utf8) { return std::filesystem::path(wideOf(utf8)); }

std::string utf8Of(const std::filesystem::path& path) { return utf8Of(std::wstring_view(path.native())); }

#else

// The system takes the bytes as they are, UTF-8 or not.
std::filesystem::path pathOf(std::string_view utf8) { return std::filesystem::path(utf8); }

std::string utf8Of(const std::filesystem::path& path) { return path.native(); }

#endif

}  // namespace ezg
