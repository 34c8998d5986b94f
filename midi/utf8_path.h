// Names are UTF-8 everywhere inside the program. Where the system takes
// UTF-16 (Windows), they are converted here and nowhere else: a path made
// straight from a std::string there takes each byte for a character, and
// "hicaz-şarkı.mid" would not be found.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace ezg {

std::filesystem::path pathOf(std::string_view utf8);
std::string utf8Of(const std::filesystem::path& path);

#ifdef _WIN32
std::wstring wideOf(std::string_view utf8);
std::string utf8Of(std::wstring_view wide);
#endif

}  // namespace ezg
