#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "cli/language.h"
#include "cli/mo_catalog.h"
#include "files/utf8_path.h"

namespace ezg::cli {
namespace {

// Set once, before any job runs; read by all.
std::optional<MoCatalog> gCatalog;
std::wstring gLanguage;  // the catalog's, as Windows names it ("tr-TR"); "" for English
std::string gThousands, gGrouping;

std::string variable(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// The locale a category takes from the variables, as on POSIX.
std::string localeOf(const char* category) {
  for (const char* name : {"LC_ALL", category, "LANG"})
    if (std::string v = variable(name); !v.empty()) return v;
  return "";
}

bool isCLocale(const std::string& name) { return name == "C" || name == "POSIX"; }

// "tr_TR.UTF-8@euro": "tr_TR", then "tr", as gettext tries them.
std::vector<std::string> namesToTry(std::string name) {
  name.resize(std::min(name.size(), name.find_first_of(".@")));
  std::vector<std::string> names{name};
  if (const std::size_t country = name.find('_'); country != std::string::npos)
    names.push_back(name.substr(0, country));
  return names;
}

// "tr_TR" as Windows names it: "tr-TR".
std::wstring windowsName(std::string name) {
  name.resize(std::min(name.size(), name.find_first_of(".@")));
  for (char& c : name)
    if (c == '_') c = '-';
  return wideOf(name);
}

// The language of the user's Windows, as a POSIX name: "tr_TR".
std::string userLanguage() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  if (::LCIDToLocaleName(MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) == 0)
    return "";
  std::string posix = utf8Of(std::wstring_view(name));
  for (char& c : posix)
    if (c == '-') c = '_';
  return posix;
}

// LANGUAGE, a list of languages apart by ':', counts only where the
// messages' locale is not C, as gettext has it; without any variable the
// user's own language stands for the locale.
void loadCatalog(const std::string& folder) {
  const std::string messages = localeOf("LC_MESSAGES");
  if (isCLocale(messages) || folder.empty()) return;
  std::vector<std::string> wanted;
  const std::string list = variable("LANGUAGE");
  for (std::size_t at = 0; at <= list.size() && !list.empty();) {
    const std::size_t end = std::min(list.find(':', at), list.size());
    if (end > at) wanted.push_back(list.substr(at, end - at));
    at = end + 1;
  }
  if (wanted.empty()) wanted.push_back(messages.empty() ? userLanguage() : messages);
  for (const std::string& language : wanted) {
    if (isCLocale(language)) return;
    for (const std::string& name : namesToTry(language)) {
      if (isCLocale(name)) return;  // "C.UTF-8" too: English
      if (name.empty()) continue;
      gCatalog = MoCatalog::load(pathOf(folder) / pathOf(name) / "LC_MESSAGES" / "ezgitar.mo");
      if (gCatalog) {
        gLanguage = windowsName(name);
        return;
      }
    }
  }
}

// Windows says the groups as "3;0" (threes, repeating) or "3;2;0"; the
// same as the C library's grouping bytes.
std::string groupingOf(const std::wstring& groups) {
  std::string sizes;
  int size = 0;
  bool repeat = false;
  for (std::size_t i = 0; i <= groups.size(); ++i) {
    if (i < groups.size() && groups[i] >= L'0' && groups[i] <= L'9') {
      size = size * 10 + (groups[i] - L'0');
      continue;
    }
    if (size == 0)
      repeat = true;
    else
      sizes.push_back(static_cast<char>(std::min(size, CHAR_MAX - 1)));
    size = 0;
  }
  if (!repeat && !sizes.empty()) sizes.push_back(CHAR_MAX);
  return sizes;
}

void readGrouping() {
  const std::string numeric = localeOf("LC_NUMERIC");
  if (isCLocale(numeric)) return;
  const std::wstring name = numeric.empty() ? std::wstring() : windowsName(numeric);
  const wchar_t* locale = numeric.empty() ? LOCALE_NAME_USER_DEFAULT : name.c_str();
  wchar_t thousands[8] = {}, groups[16] = {};
  if (::GetLocaleInfoEx(locale, LOCALE_STHOUSAND, thousands, 8) == 0 ||
      ::GetLocaleInfoEx(locale, LOCALE_SGROUPING, groups, 16) == 0)
    return;
  gThousands = utf8Of(std::wstring_view(thousands));
  gGrouping = groupingOf(groups);
}

// The Windows error nearest to an errno value, for the system's own text.
DWORD windowsErrorOf(int err) {
  switch (err) {
    case EIO: return ERROR_IO_DEVICE;
    case EBUSY: return ERROR_BUSY;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EPIPE: return ERROR_BROKEN_PIPE;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case EAGAIN: return ERROR_RETRY;
    default: return 0;
  }
}

}  // namespace

void chooseLanguage(const std::string& catalogFolder) {
  loadCatalog(catalogFolder);
  readGrouping();
}

const char* tr(const char* english) {
  const char* said = gCatalog ? gCatalog->find(english) : nullptr;
  return said ? said : english;
}

const char* trn(const char* one, const char* many, std::uint64_t n) {
  const char* said = gCatalog ? gCatalog->findPlural(one, n) : nullptr;
  return said ? said : n == 1 ? one : many;
}

std::string number(std::int64_t n) { return detail::grouped(n, gThousands, gGrouping); }

// Windows says it in the catalog's language where it has the words, else
// in its own.
std::string systemErrorText(int err) {
  const DWORD code = windowsErrorOf(err);
  if (code == 0) return "";
  const LCID lcid = gLanguage.empty() ? 0 : ::LocaleNameToLCID(gLanguage.c_str(), 0);
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  wchar_t text[512] = {};
  DWORD n = ::FormatMessageW(flags, nullptr, code,
                             gLanguage.empty() ? MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US) : LANGIDFROMLCID(lcid),
                             text, 512, nullptr);
  if (n == 0) n = ::FormatMessageW(flags, nullptr, code, 0, text, 512, nullptr);
  while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L'.' || text[n - 1] == L' ')) --n;
  return utf8Of(std::wstring_view(text, n));
}

}  // namespace ezg::cli
