// The user's decimal separator, as the window takes it from the desktop.
#pragma once

#include <string_view>

namespace ezg::cli {

// The fallback for a language code ("tr", "de", "ast"): ',' or '.', as the
// window's locale data has it for that language.
char fallbackSeparator(std::string_view language);

// From the C library's locale when it is installed; otherwise from the
// language named in LC_ALL, LC_NUMERIC or LANG, so a Turkish user gets a
// comma even on a system without the Turkish locale data. Anything that is
// not one ASCII character falls back to a full stop.
char localeDecimalSeparator();

}  // namespace ezg::cli
