// The command line's words in the user's language. Sentences are written in
// English where they are made, marked with tr() and its kin; po/ holds the
// translations, compiled into catalogs beside the program. Linux reads them
// with the C library's gettext, Windows with mo_catalog.h: one source per
// system, language-posix.cpp and language-win32.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <fmt/format.h>

// Marks a sentence that a table holds; tr() says it where it is printed.
#define N_(english) english

namespace ezg::cli {

// Once, before anything is said: the language that LANGUAGE, LC_ALL,
// LC_MESSAGES and LANG choose (on Windows, without them, the user's own),
// from the catalogs in `catalogFolder`, by default the program folder's
// locale/. English where there is no catalog for it. Nothing but messages
// follows: numbers, the report's bytes and the ctype of the C library stay
// as they were.
void chooseLanguage();
void chooseLanguage(const std::string& catalogFolder);

// The sentence in the chosen language, or as written.
const char* tr(const char* english);
// The form of a sentence that fits the count `n`.
const char* trn(const char* one, const char* many, std::uint64_t n);

// A count as the user's locale writes a number on its own: "1.238" in
// Turkish, "1238" in the C locale.
std::string number(std::int64_t n);

// The system's own words for an errno value, in the chosen language where
// the system has them; "" when it has none.
std::string systemErrorText(int err);

// The catalog files of the shipped languages, kept from being written over
// through a link like the program's other files.
void keepCatalogsFromLinks();

namespace detail {
std::string formatted(const char* translated, const char* english, fmt::format_args args);
// The digits of `n` in groups as a locale's LC_NUMERIC has them: `grouping`
// holds the sizes from the right, the last repeating, CHAR_MAX ending it.
std::string grouped(std::int64_t n, std::string_view separator, std::string_view grouping);
}  // namespace detail

// tr() with its "{}" filled in; a translation that does not fit its
// arguments falls back to the English sentence instead of failing the run.
template <typename... Args>
std::string trf(const char* english, const Args&... args) {
  return detail::formatted(tr(english), english, fmt::make_format_args(args...));
}

template <typename... Args>
std::string trnf(const char* one, const char* many, std::uint64_t n, const Args&... args) {
  return detail::formatted(trn(one, many, n), n == 1 ? one : many, fmt::make_format_args(args...));
}

}  // namespace ezg::cli
