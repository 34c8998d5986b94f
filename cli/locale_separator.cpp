#include "cli/locale_separator.h"

#include <clocale>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

namespace ezg::cli {
namespace {

// Languages whose numbers use a decimal comma.
constexpr std::string_view kCommaLanguages[] = {
    "tr", "az", "de", "fr", "es", "it", "pt", "nl", "ru", "uk", "pl", "cs", "sk", "sl", "hr", "sr", "bs",
    "ro", "bg", "el", "hu", "fi", "sv", "da", "nb", "nn", "no", "is", "et", "lv", "lt", "id", "vi", "ca",
    "gl", "eu", "be", "kk", "ky", "uz", "mk", "sq", "ka", "hy"};

std::string localeName() {
  for (const char* var : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return v;
  }
  return "C";
}

}  // namespace

std::span<const std::string_view> commaLanguages() { return kCommaLanguages; }

char fallbackSeparator(std::string_view language) {
  for (std::string_view comma : kCommaLanguages)
    if (language == comma) return ',';
  return '.';
}

char localeDecimalSeparator() {
  const std::string name = localeName();
  const char* current = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = current ? current : "C";
  char separator = '.';
  if (std::setlocale(LC_NUMERIC, name.c_str())) {
    const char* point = std::localeconv()->decimal_point;
    if (point && point[0] != '\0' && point[1] == '\0' && static_cast<unsigned char>(point[0]) < 0x80)
      separator = point[0];
    std::setlocale(LC_NUMERIC, saved.c_str());
    return separator;
  }
  return fallbackSeparator(std::string_view(name).substr(0, name.find_first_of("_.@")));
}

}  // namespace ezg::cli
