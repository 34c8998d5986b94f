#include "midi/utf8_path.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace ezg {

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
