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

// `text` with its control characters escaped (\n, \r, \t, else \x1b and
// the like, the C1 controls byte by byte), so that a name shown on a
// terminal or in a message cannot move the cursor, recolour the screen or
// forge a line. Anything else, invalid UTF-8 included, stays as it is.
std::string printable(std::string_view text);

#ifdef _WIN32
std::wstring wideOf(std::string_view utf8);
std::string utf8Of(std::wstring_view wide);
#endif

}  // namespace ezg
