// The window's failure texts: one Turkish reason per code, and nothing of
// the system's locale in them.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "tests/support/fake_platform.h"
#include "app/messages.h"
#include "tests/support/run_command.h"

namespace ezg {
namespace {

TEST(FailureMessages, EveryCodeHasItsOwnTurkishReason) {
  std::set<std::string> seen;
  for (int c = 0; c <= static_cast<int>(FailureCode::Other); ++c) {
    const Failure f{static_cast<FailureCode>(c), 5, "x.mid"};
    const std::string why = turkishReason(f);
    EXPECT_TRUE(!why.empty() && seen.insert(why).second) << c << ": " << why;
    // Only "other" names the system's error; the rest are wholly ours.
    EXPECT_EQ(why.find("EIO") != std::string::npos, f.code == FailureCode::Other) << why;
  }
}

// The system would give its reasons in German; the window only ever says
// them in Turkish.
TEST(FailureMessages, StayTurkishUnderAGermanLocale) {
  testing::TempDir locales, dir;
  const auto built = testing::runCommand("localedef -i de_DE -f UTF-8 " +
                                         testing::shellQuote((locales / "de_DE.UTF-8").string()) + " 2>&1");
  if (built.status != 0) GTEST_SKIP() << "cannot build the de_DE locale here: " << built.out;
  ::setenv("LOCPATH", locales.path().c_str(), 1);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
  FakePlatform platform;
  const auto saved = std::filesystem::current_path();
  platform.setCurrentFolder(dir.path().string());
  std::filesystem::create_directory(dir / "klasör.mid");
  // The texts are made while the locale is German.
  auto read = [&](const std::string& name) {
    Bytes bytes;
    const Status s = platform.readFile(name, bytes);
    return s ? cannotReadMessage(name, *s) : "read";
  };
  const std::string missing = read("yok.mid"), folder = read("klasör.mid");
  const Status clash = platform.createOutput("klasör.mid")->status();
  const std::string written = clash ? cannotWriteMessage("klasör.mid", *clash) : "written";
  platform.setCurrentFolder(saved.string());
  std::setlocale(LC_ALL, "C");
  ::unsetenv("LOCPATH");
  EXPECT_EQ(missing, "yok.mid dosyası okunamadı: dosya yok.");
  EXPECT_EQ(folder, "klasör.mid dosyası okunamadı: bu düz bir dosya değil.");
  EXPECT_EQ(written, "klasör.mid dosyası yazılamadı: bu adda bir klasör var.");
}

}  // namespace
}  // namespace ezg
