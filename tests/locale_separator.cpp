// The command line's fallback separator must be the one the window takes
// from QLocale for the same language, or "as in the window" is not true.
#include <gtest/gtest.h>

#include <QLocale>
#include <QString>

#include "app/qt/qt_platform.h"
#include "cli/locale_separator.h"

namespace ezg::testing {
namespace {

TEST(LocaleSeparator, EveryLanguageQtKnowsHasTheWindowsSeparator) {
  int checked = 0;
  for (int l = QLocale::AnyLanguage + 1; l <= QLocale::LastLanguage; ++l) {
    const auto language = static_cast<QLocale::Language>(l);
    const QString code = QLocale::languageToCode(language);
    // Languages without locale data fall back to C, which LANG cannot name.
    const QLocale locale(code);
    if (code.isEmpty() || locale.language() != language) continue;
    const std::string name = code.toStdString();
    EXPECT_EQ(cli::fallbackSeparator(name), decimalSeparatorOf(locale)) << name;
    ++checked;
  }
  EXPECT_GT(checked, 200);
}

}  // namespace
}  // namespace ezg::testing
