// The command line's fallback separator must be the one the window takes
// from QLocale for the same language, or "as in the window" is not true.
#include <gtest/gtest.h>

#include <QLocale>
#include <QString>

#include "app/qt/qt_platform.h"
#include "cli/locale_separator.h"

namespace ezg::testing {
namespace {

QLocale localeOf(std::string_view language) {
  return QLocale(QString::fromLatin1(language.data(), static_cast<qsizetype>(language.size())));
}

TEST(LocaleSeparator, EveryCommaLanguageIsACommaInTheWindowToo) {
  for (std::string_view language : cli::commaLanguages()) {
    SCOPED_TRACE(std::string(language));
    EXPECT_NE(localeOf(language).language(), QLocale::C);
    EXPECT_EQ(cli::fallbackSeparator(language), decimalSeparatorOf(localeOf(language)));
  }
}

TEST(LocaleSeparator, CommonFullStopLanguagesAgreeToo) {
  for (std::string_view language : {"en", "ja", "zh", "ko", "he", "th", "hi", "ga", "mt", "cy", "ms", "sw"}) {
    SCOPED_TRACE(std::string(language));
    EXPECT_EQ(cli::fallbackSeparator(language), '.');
    EXPECT_EQ(decimalSeparatorOf(localeOf(language)), '.');
  }
}

}  // namespace
}  // namespace ezg::testing
