// ezgitar-cli in the user's language: the messages made as a run goes said
// wholly in Turkish under tr_TR.UTF-8 and wholly in English under C, in the
// same shape for scripts; numbers, system errors and the manual page. That
// every sentence is marked and translated, po.catalogs_complete holds.
#include <cerrno>
#include <clocale>
#include <cctype>
#include <cstdlib>
#include <regex>
#include <set>
#include <sstream>
#include <utility>

#include <gtest/gtest.h>

#include "cli/failure_text.h"
#include "cli/language.h"
#include "cli/mo_catalog.h"
#include "sound/player.h"
#include "tests/support/cli.h"
#include "tests/support/split_files.h"
#include "walk/walk.h"

namespace ezg::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTurkish = "LC_ALL=tr_TR.UTF-8 ";
constexpr const char* kC = "LC_ALL=C ";

bool turkishLocaleThere() { return runCommand("locale -a | grep -qix 'tr_TR\\.utf-\\?8'").status == 0; }

// Words as runs of letters, ASCII ones in lower case; "olayının" and the
// like are a word of the catalog with a suffix glued to it, so a word is
// also known when it is two known words put together.
std::set<std::string> wordsOf(std::string_view text) {
  std::set<std::string> words;
  std::string word;
  for (const char c : std::string(text) + ' ') {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalpha(u) || u >= 0x80)  // the C locale's ctype: ASCII letters
      word += static_cast<char>(std::tolower(u));
    else if (!word.empty())
      words.insert(std::exchange(word, {}));
  }
  return words;
}

bool known(const std::string& word, const std::set<std::string>& words) {
  if (words.contains(word)) return true;
  for (std::size_t cut = 1; cut < word.size(); ++cut)
    if (words.contains(word.substr(0, cut)) && words.contains(word.substr(cut))) return true;
  return false;
}

// The words of the English the catalog translates, and of its Turkish.
struct CatalogWords {
  std::set<std::string> english, turkish;
};

const CatalogWords& catalogWords() {
  static const CatalogWords words = [] {
    CatalogWords w;
    const auto catalog = cli::MoCatalog::load(EZGITAR_TR_CATALOG);
    if (!catalog) return w;
    for (const auto& e : catalog->entries()) {
      w.english.merge(wordsOf(e.id));
      for (std::string_view form : e.forms) w.turkish.merge(wordsOf(form));
    }
    return w;
  }();
  return words;
}

// What a line says once the names are taken out: the test's files are all
// "zq...", and the SoundFont's path and variable are names too. The test
// walk's warning is the window's own Turkish, in every language.
// Bytes in hexadecimal ("0xE0") are no words either. A line of GLib's log
// is the synthesizer's library talking, in its own words.
std::string sentencesOf(std::string text) {
  for (const std::string& name :
       {std::string(kTickWarningText), std::string(sound::kSystemSoundFont), std::string(sound::kSoundFontVariable)})
    for (std::size_t at; (at = text.find(name)) != std::string::npos;) text.replace(at, name.size(), " ");
  text = std::regex_replace(text, std::regex("0x[0-9A-F]+"), " ");
  return std::regex_replace(text, std::regex(R"((^|\n)\*\* \([^\n]*)"), "$1");
}

// The words of `text` that are no words of `language`.
std::vector<std::string> strangeWords(const std::string& text, const std::set<std::string>& language) {
  std::vector<std::string> strange;
  for (const std::string& word : wordsOf(sentencesOf(text)))
    if (!word.starts_with("zq") && !known(word, language)) strange.push_back(word);
  return strange;
}

// What scripts read of each line: "ezgitar-cli: FILE: ", "FILE: ",
// "FILE:POSITION: ".
std::vector<std::string> shapesOf(const std::string& text) {
  std::vector<std::string> shapes;
  std::istringstream lines(sentencesOf(text));
  for (std::string line; std::getline(lines, line);) {
    std::string head = line.starts_with("ezgitar-cli: ") ? "ezgitar-cli: " : "";
    const std::string rest = line.substr(head.size());
    const std::size_t colon = rest.find(": ");
    if (colon != std::string::npos && rest.substr(0, colon).find(' ') == std::string::npos)
      head += rest.substr(0, colon + 2);
    shapes.push_back(head);
  }
  return shapes;
}

// A folder of the inputs whose messages are made as the run goes: from
// the library that reads the options, the system, and pieces put together.
// A sentence that is not marked at all fails po.catalogs_complete.
class Language : public Cli {
 protected:
  Language() {
    dir.write("zq.mid", song);
    dir.write("zqbig.mid", build::makeMidi(std::vector<build::Note>(3000)));
    // The split's warnings, as its own tests build them.
    for (const auto& [name, bytes] : misfiringFiles()) dir.write("zq" + name + ".mid", bytes);
    Bytes broken = build::makeMidi(std::vector<build::Note>(10));
    broken.insert(broken.end() - 4, {0x00, 0xF4});
    broken[21] = static_cast<std::uint8_t>(broken[21] + 2);
    dir.write("zqbroken.mid", broken);
    Bytes ticks;  // notes after four-byte delta times: two test warnings
    for (int i = 0; i < 3; ++i) ticks.insert(ticks.end(), {0xFF, 0xFF, 0xFF, 0x00, 0x90, 0x3C, 0x40});
    ticks.insert(ticks.end(), {0x00, 0xE0, 0x00, 0x41});
    dir.write("zqtick.mid", build::wrapTrack(ticks));
    fs::create_directory(dir / "zqo");
  }
};

struct Case {
  std::string args, prefix = "";
};

// The options' mistakes, as the library reports them; help; the summaries
// and warnings, made of counts and the names of what a byte is; the
// system's reasons; sound that cannot be had.
std::vector<Case> everyCase() {
  std::vector<Case> cases = {{""},      {"zqcmd"}, {"--help"},       {"--version"}, {"split --help"}, {"play --help"},
                             {"split"}, {"play"},  {"split zqn.mid"}};
  for (const std::string args :
       {"split --jobs 0 zq.mid",
        "split -j zq zq.mid",
        "split --zqopt zq.mid",
        "split -o",
        "split -o '' zq.mid",
        "split -o zq.mid zq.mid",
        "report --decimal-separator ab zq.mid",
        "split --by zq zq.mid",
        "split --every 2 zq.mid",
        "split --tempo 5 zq.mid",
        "split zq.mid",
        "split --by note zq.mid",
        "split --by bar --every 2 --tempo 75 zqbig.mid",
        "split --by note zqbroken.mid",
        "split zqbare.mid zqother.mid zqoffs.mid zqrunning.mid zqtext.mid zqtempo.mid zqtail.mid zqbig.mid",
        "report -o zqo zqtick.mid",
        "test zqtick.mid",
        "render --soundfont zqnone.sf2 zq.mid",
        "play zq.mid zq.mid",
        "play -q zq.mid"})
    cases.push_back({args});
  cases.push_back({"split -j 1 zqbig.mid", "prlimit --fsize=8192 "});
  cases.push_back({"report -j 1 zqbig.mid", "prlimit --fsize=8192 "});
  cases.push_back({"test zqtick.mid zqtick.mid >/dev/full"});
  cases.push_back({"play zq.mid", "EZGITAR_AUDIO_FILE=zq.raw "});
  return cases;
}

TEST_F(Language, EveryMessageIsWhollyInTheLanguageChosenAndShapedTheSame) {
  ASSERT_TRUE(turkishLocaleThere()) << "no tr_TR.UTF-8 locale: tools/install-deps makes it";
  const CatalogWords& words = catalogWords();
  ASSERT_FALSE(words.english.empty()) << EZGITAR_TR_CATALOG;
  for (const Case& c : everyCase()) {
    // Each language from the same files: a split's copies would change
    // what the next run says.
    auto run = [&](const std::string& env) {
      const CommandResult r = cli(c.args, env + c.prefix);
      for (const char* copy : {"zq_13.mid", "zq_24.mid", "zq.wav"}) fs::remove(dir / copy);
      return r;
    };
    const CommandResult english = run(kC), turkish = run(kTurkish);
    const std::string said = english.out + english.err;
    EXPECT_EQ(strangeWords(said, words.english), std::vector<std::string>{}) << c.args << ":\n" << said;
    EXPECT_EQ(strangeWords(turkish.out + turkish.err, words.turkish), std::vector<std::string>{})
        << c.args << ":\n"
        << turkish.out + turkish.err;
    EXPECT_EQ(english.status, turkish.status) << c.args;
    // Help is for reading; the rest for scripts too.
    if (!said.starts_with("Usage: ")) {
      EXPECT_EQ(shapesOf(english.out), shapesOf(turkish.out)) << c.args;
      EXPECT_EQ(shapesOf(english.err), shapesOf(turkish.err)) << c.args;
    }
    // Said in Turkish, where there is anything to say and not only names.
    if (!strangeWords(said, {"mid", "txt", "wav", "ezgitar", "cli"}).empty()) {
      EXPECT_NE(said, turkish.out + turkish.err) << c.args;
    }
  }
}

TEST_F(Language, CountsAreWrittenAsTheLocaleWritesNumbers) {
  ASSERT_TRUE(turkishLocaleThere()) << "no tr_TR.UTF-8 locale: tools/install-deps makes it";
  dir.write("zqk.mid", build::makeMidi(std::vector<build::Note>(1238)));
  EXPECT_EQ(cli("split zqk.mid", kTurkish).out,
            "zqk.mid: 1.238 perde bükümü, 1.238 nota; zqk_13.mid içinde 619 nota susturuldu, zqk_24.mid içinde 619\n");
  EXPECT_EQ(cli("split zqk.mid", kC).out,
            "zqk.mid: 1238 pitch bends, 1238 notes; zqk_13.mid silences 619 notes, zqk_24.mid 619\n");
  EXPECT_EQ(cli("split --by note --tempo 75 zqk.mid", kTurkish).out,
            "zqk.mid: 1.238 nota; zqk_13.mid içinde çalan: 1, 3 … 1237. notalar (619 nota), zqk_24.mid içinde: 2, "
            "4 … 1238. notalar (619 nota); tempo %75\n");
}

// In this process: the system's own words come after ours, in the same
// language, and the numbers printf writes stay the C locale's.
TEST(LanguageHere, ASystemErrorIsOurSentenceThenTheSystemsOwnWords) {
  ASSERT_TRUE(turkishLocaleThere()) << "no tr_TR.UTF-8 locale: tools/install-deps makes it";
  const Failure io{FailureCode::Other, EIO, {}};
  ::setenv("LANGUAGE", "", 1);
  ::setenv("LC_ALL", "tr_TR.UTF-8", 1);
  cli::chooseLanguage(EZGITAR_CATALOG_FOLDER);
  EXPECT_EQ(cli::describe(io), "beklenmeyen bir sistem hatası (EIO: Girdi/Çıktı hatası)");
  EXPECT_EQ(cli::describe(Failure{FailureCode::Missing, ENOENT, {}}), "böyle bir dosya yok");
  EXPECT_EQ(cli::number(1234567), "1.234.567");
  EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
  char printed[16];
  std::snprintf(printed, sizeof printed, "%.2f", 3.5);
  EXPECT_STREQ(printed, "3.50");
  ::setenv("LC_ALL", "C", 1);
  cli::chooseLanguage(EZGITAR_CATALOG_FOLDER);
  EXPECT_EQ(cli::describe(io), "unexpected system error (EIO: Input/output error)");
  EXPECT_EQ(cli::number(1234567), "1234567");
  ::unsetenv("LC_ALL");
}

// The Turkish manual: help2man's sections named in Turkish, the synopsis
// found, the options described in Turkish.
TEST(LanguageManual, TheTurkishManualPageIsTurkish) {
  TempDir none;
  const std::string page = none.read(EZGITAR_TR_MAN_PAGE);
  for (const char* heading : {".SH \"KULLANIM\"\n.B ezgitar-cli\n", ".SH \"AÇIKLAMA\"", ".SH \"SEÇENEKLER\"",
                              "\"Kullanıcı Komutları\"", "MIDI dosyalarının çalışma kopyaları", "bu yardımı göster"})
    EXPECT_NE(page.find(heading), std::string::npos) << heading;
  EXPECT_EQ(page.find("show this help"), std::string::npos);
}

}  // namespace
}  // namespace ezg::testing
