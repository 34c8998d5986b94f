#include "cli/locale_separator.h"

#include <clocale>
#include <cstdlib>
#include <string>
#include <string_view>

namespace ezg::cli {
namespace {

// Languages whose numbers use a decimal comma in the locale data the window
// reads (a test holds the table against every language it knows), by the
// code LANG names them with.
constexpr std::string_view kCommaLanguages[] = {
    "af", "agq", "ast", "az",  "bas", "be", "bg",  "br",  "bs",  "ca",  "cs",  "da",  "de",  "dsb", "dua", "dyo", "el",
    "eo", "es",  "et",  "eu",  "ewo", "ff", "fi",  "fo",  "fr",  "fur", "fy",  "gl",  "hr",  "hsb", "hu",  "hy",  "ia",
    "id", "is",  "it",  "jgo", "jv",  "ka", "kab", "kea", "kgp", "kk",  "kkj", "kl",  "km",  "ksf", "ksh", "ku",  "ky",
    "lb", "ln",  "lo",  "lt",  "lu",  "lv", "mgh", "mk",  "mua", "nb",  "nds", "nl",  "nmg", "nn",  "nnh", "no",  "os",
    "pl", "pt",  "rn",  "ro",  "ru",  "rw", "sah", "sc",  "se",  "seh", "sg",  "shi", "sk",  "sl",  "smn", "sq",  "sr",
    "su", "sv",  "tg",  "tk",  "tr",  "tt", "tzm", "uk",  "uz",  "vi",  "wae", "wo",  "yav", "yrl", "zgh"};

std::string localeName() {
  for (const char* var : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return v;
  }
  return "C";
}

}  // namespace

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
