// The window's failure texts: one Turkish reason per code, and nothing of
// the system's locale in them.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "app/fake_platform.h"
#include "app/messages.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace ezg {
namespace {

constexpr int kCodes = static_cast<int>(FailureCode::Other) + 1;

TEST(FailureMessages, EveryCodeHasItsOwnTurkishReason) {
  std::set<std::string> seen;
  for (int c = 0; c < kCodes; ++c) {
    const Failure f{static_cast<FailureCode>(c), 5, "x.mid"};
    const std::string why = turkishReason(f);
    EXPECT_FALSE(why.empty()) << c;
    EXPECT_TRUE(seen.insert(why).second) << "shared reason: " << why;
    // Only "other" names the system's error; the rest are wholly ours.
    EXPECT_EQ(why.find("EIO") != std::string::npos, f.code == FailureCode::Other) << why;
  }
  EXPECT_EQ(cannotReadMessage("ney.mid", {FailureCode::TooLarge, 0, "ney.mid"}),
            "ney.mid dosyası okunamadı: dosya belleğe sığmayacak kadar büyük.");
  EXPECT_EQ(cannotWriteMessage("pars.bin", {FailureCode::DiskFull, 28, "pars.bin"}),
            "pars.bin dosyası yazılamadı: diskte yer kalmadı.");
  EXPECT_EQ(cannotWritePairMessage("ney_24.mid", {FailureCode::NoPermission, 1, "ney_24.mid"}),
            "ney_24.mid dosyası yazılamadı: erişim izni yok. Eski iki dosya da korundu.");
}

// A German desktop: the system would say its reasons in German, but the
// window only ever says them in Turkish.
TEST(FailureMessages, StayTurkishUnderAGermanLocale) {
  testing::TempDir locales;
  const auto built = testing::runCommand("localedef -i de_DE -f UTF-8 " +
                                         testing::shellQuote((locales / "de_DE.UTF-8").string()) + " 2>&1");
  if (built.status != 0) GTEST_SKIP() << "cannot build the de_DE locale here: " << built.out;
  ::setenv("LOCPATH", locales.path().c_str(), 1);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);

  testing::TempDir dir;
  FakePlatform platform;
  const auto saved = std::filesystem::current_path();
  platform.setCurrentFolder(dir.path().string());
  Bytes bytes;
  const Status missing = platform.readFile("yok.mid", bytes);
  ASSERT_TRUE(missing);
  EXPECT_EQ(cannotReadMessage("yok.mid", *missing), "yok.mid dosyası okunamadı: dosya yok.");
  std::filesystem::create_directory(dir / "klasör.mid");
  const Status folder = platform.readFile("klasör.mid", bytes);
  ASSERT_TRUE(folder);
  EXPECT_EQ(cannotReadMessage("klasör.mid", *folder), "klasör.mid dosyası okunamadı: bu düz bir dosya değil.");
  auto out = platform.createOutput("klasör.mid");
  ASSERT_TRUE(out->status());
  EXPECT_EQ(cannotWriteMessage("klasör.mid", *out->status()),
            "klasör.mid dosyası yazılamadı: bu adda bir klasör var.");

  platform.setCurrentFolder(saved.string());
  std::setlocale(LC_ALL, "C");
  ::unsetenv("LOCPATH");
}

}  // namespace
}  // namespace ezg
