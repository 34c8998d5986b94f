#include <langinfo.h>
#include <libintl.h>
#include <locale.h>

#include <clocale>
#include <cstring>

#include "cli/language.h"

namespace ezg::cli {
namespace {

constexpr const char* kDomain = "ezgitar";

// The locale's digit grouping, read once, before any job runs.
std::string gThousands, gGrouping;

}  // namespace

// Only the messages' category is set: the numbers printf and the report
// write stay the C locale's, and so does the ctype CLI11 and the names
// rely on. Messages come as UTF-8 whatever LC_CTYPE says, as every other
// text the program prints; so do the system's own, strerror's.
void chooseLanguage(const std::string& catalogFolder) {
  std::setlocale(LC_MESSAGES, "");
  if (!catalogFolder.empty()) ::bindtextdomain(kDomain, catalogFolder.c_str());
  ::bind_textdomain_codeset(kDomain, "UTF-8");
  ::bind_textdomain_codeset("libc", "UTF-8");
  // Read from a locale object of its own: setting LC_NUMERIC would change
  // every number the program prints.
  if (locale_t numeric = ::newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr))) {
    gThousands = ::nl_langinfo_l(THOUSEP, numeric);
    gGrouping = ::nl_langinfo_l(GROUPING, numeric);
    ::freelocale(numeric);
  }
}

const char* tr(const char* english) { return ::dgettext(kDomain, english); }

const char* trn(const char* one, const char* many, std::uint64_t n) {
  return ::dngettext(kDomain, one, many, static_cast<unsigned long>(n));
}

std::string number(std::int64_t n) { return detail::grouped(n, gThousands, gGrouping); }

std::string systemErrorText(int err) {
  char buffer[256];
  // The GNU strerror_r, which says the text in the messages' language.
  const char* text = ::strerror_r(err, buffer, sizeof buffer);
  return text ? text : "";
}

}  // namespace ezg::cli
