#include "cli/language.h"

#include <climits>

#include "files/folder.h"
#include "files/safe_write.h"
#include "files/utf8_path.h"

namespace ezg::cli {
namespace {

// Where a catalog lies under the catalog folder, as gettext looks for it.
std::filesystem::path catalogOf(const std::string& folder, const char* language) {
  return pathOf(folder) / "locale" / language / "LC_MESSAGES" / "ezgitar.mo";
}

}  // namespace

void chooseLanguage() {
  const std::string folder = executableFolder();
  chooseLanguage(folder.empty() ? std::string() : utf8Of(pathOf(folder) / "locale"));
}

void keepCatalogsFromLinks() {
  const std::string folder = executableFolder();
  if (folder.empty()) return;
  for (const char* language : {EZGITAR_LANGUAGES}) keepFromLinks(catalogOf(folder, language));
}

namespace detail {

std::string formatted(const char* translated, const char* english, fmt::format_args args) {
  try {
    return fmt::vformat(translated, args);
  } catch (const fmt::format_error&) {
    return fmt::vformat(english, args);
  }
}

std::string grouped(std::int64_t n, std::string_view separator, std::string_view grouping) {
  std::string digits = std::to_string(n);
  const std::size_t sign = n < 0 ? 1 : 0;
  if (separator.empty()) return digits;
  std::size_t end = digits.size(), g = 0;
  int size = 0;
  for (;;) {
    if (g < grouping.size()) size = static_cast<unsigned char>(grouping[g++]);
    if (size <= 0 || size == CHAR_MAX || end - sign <= static_cast<std::size_t>(size)) return digits;
    end -= static_cast<std::size_t>(size);
    digits.insert(end, separator);
  }
}

}  // namespace detail
}  // namespace ezg::cli
