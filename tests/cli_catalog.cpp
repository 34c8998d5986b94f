// The reader of compiled catalogs, which the Windows command line speaks
// through, and the catalogs built from po/ against the English they translate.
#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include <fmt/args.h>
#include <gtest/gtest.h>

#include "cli/language.h"
#include "cli/mo_catalog.h"

namespace ezg::cli {
namespace {

// A catalog as msgfmt lays it out: header, tables, then the strings; in
// either byte order. Keys are sorted, as msgfmt sorts them.
std::vector<std::uint8_t> moFile(const std::map<std::string, std::string>& entries, bool bigEndian = false) {
  std::vector<std::uint8_t> out;
  auto word = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (bigEndian ? 24 - 8 * i : 8 * i)));
  };
  const auto n = static_cast<std::uint32_t>(entries.size());
  for (std::uint32_t v : {0x950412DEu, 0u, n, 28u, 28 + 8 * n, 0u, 0u}) word(v);
  // The originals' table, the translations', then their strings in that order.
  std::string text;
  for (const bool ids : {true, false})
    for (const auto& [id, str] : entries) {
      const std::string& s = ids ? id : str;
      word(static_cast<std::uint32_t>(s.size()));
      word(28 + 16 * n + static_cast<std::uint32_t>(text.size()));
      text += s + '\0';
    }
  out.insert(out.end(), text.begin(), text.end());
  return out;
}

const std::map<std::string, std::string> kSmall = {
    {"", "Content-Type: text/plain; charset=UTF-8\nPlural-Forms: nplurals=3; plural=n==1 ? 0 : n==2 ? 1 : 2;\n"},
    {"no such file", "böyle bir dosya yok"},
    {std::string("{} note\0{} notes", 16), std::string("{} nota\0{} iki nota\0{} nota", 27)},
    {"untranslated", ""},
};

TEST(MoCatalog, FindsTranslationsAndPluralFormsInEitherByteOrder) {
  for (const bool big : {false, true}) {
    const auto catalog = MoCatalog::parse(moFile(kSmall, big));
    ASSERT_TRUE(catalog) << big;
    EXPECT_STREQ(catalog->find("no such file"), "böyle bir dosya yok");
    EXPECT_EQ(catalog->find("no such"), nullptr);
    EXPECT_EQ(catalog->find("untranslated"), nullptr);  // kept empty: as good as none
    EXPECT_EQ(catalog->find(""), nullptr);              // the header is no sentence
    EXPECT_STREQ(catalog->findPlural("{} note", 1), "{} nota");
    EXPECT_STREQ(catalog->findPlural("{} note", 2), "{} iki nota");
    EXPECT_STREQ(catalog->findPlural("{} note", 7), "{} nota");
    EXPECT_EQ(catalog->findPlural("{} bar", 7), nullptr);
    EXPECT_EQ(catalog->plural().forms(), 3);
  }
}

// A catalog beside the program is a file like any other: what is no
// well-made catalog is refused, and a damaged one that is read is read
// within its bytes, never past them.
TEST(MoCatalog, ADamagedCatalogIsRefusedOrReadWithinItsBytes) {
  const std::vector<std::uint8_t> good = moFile(kSmall);
  using Bytes = std::vector<std::uint8_t>;
  const std::pair<const char*, std::function<void(Bytes&)>> refused[] = {
      {"no magic", [](Bytes& b) { b[0] ^= 1; }},
      {"more strings than the file holds", [](Bytes& b) { b[8] = 0xFF; }},
      {"a string's offset past the end", [](Bytes& b) { b[33] = 0xFF; }},
      {"a major revision of another layout", [](Bytes& b) { b[6] = 1; }},
      // Keys out of order could not be found by halving.
      {"unsorted", [](Bytes& b) { std::swap_ranges(b.begin() + 36, b.begin() + 44, b.begin() + 44); }},
  };
  for (const auto& [what, damage] : refused) {
    Bytes bad = good;
    damage(bad);
    EXPECT_FALSE(MoCatalog::parse(bad)) << what;
  }
  EXPECT_FALSE(MoCatalog::load("no/such/catalog.mo"));
  // Cut anywhere, down to nothing: the last string would end in no '\0'.
  for (std::size_t cut = 0; cut < good.size(); ++cut)
    EXPECT_FALSE(MoCatalog::parse({good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)})) << cut;
  for (std::size_t at = 0; at < good.size(); ++at) {
    for (const std::uint8_t value : {0x00, 0x7F, 0xFF}) {
      std::vector<std::uint8_t> bad = good;
      bad[at] = value;
      const auto catalog = MoCatalog::parse(bad);
      if (!catalog) continue;
      for (const char* id : {"no such file", "{} note", "untranslated", "zz"})
        for (const char* text : {catalog->find(id), catalog->findPlural(id, 0), catalog->findPlural(id, 1),
                                 catalog->findPlural(id, 2), catalog->findPlural(id, 5)})
          EXPECT_LT(text ? std::string_view(text).size() : 0, good.size());
      EXPECT_LE(catalog->entries().size(), kSmall.size());
    }
  }
}

TEST(PluralRule, WorksOutTheRulesCatalogsUse) {
  // a header, and the form of each n
  const std::pair<const char*, std::vector<std::pair<std::uint64_t, unsigned long>>> cases[] = {
      {"Plural-Forms: nplurals=2; plural=(n != 1);", {{0, 1}, {1, 0}, {2, 1}, {1238, 1}}},
      {"Plural-Forms: nplurals=1; plural=0;", {{1, 0}, {5, 0}}},
      {"Plural-Forms: nplurals=4; plural=n%10==1 && n%100!=11 ? 0 : n%10>=2 && (n%100<10 || n%100>=20) ? 1 : "
       "!(n == 0) ? 2 : 3;",
       {{0, 3}, {1, 0}, {11, 2}, {22, 1}, {111, 2}}},
      // What it cannot read, or a form past the last, falls back as gettext does.
      {"Plural-Forms: nplurals=2; plural=n ? ;", {{1, 0}, {3, 1}}},
      {"Plural-Forms: nplurals=2; plural=n % 0;", {{1, 0}, {3, 1}}},
      {"Plural-Forms: nplurals=2; plural=n+5;", {{1, 0}, {3, 0}}},
      {"Plural-Forms: nplurals=1; plural=n ? ;", {{3, 0}}},
      {"Plural-Forms: nplurals=99999999999; plural=n;", {{1, 0}, {3, 1}}},
      {"no rule here", {{1, 0}, {3, 1}}},
  };
  for (const auto& [header, forms] : cases)
    for (const auto& [n, form] : forms) EXPECT_EQ(PluralRule::fromHeader(header).formFor(n), form) << header << n;
  // A rule nested deeper than the stack holds is no rule either.
  for (const std::string nest : {"(", "!", "1?1:"}) {
    std::string deep;
    for (int i = 0; i < 100'000; ++i) deep += nest;
    EXPECT_EQ(PluralRule::fromHeader("Plural-Forms: nplurals=2; plural=" + deep + "n;").formFor(3), 1u) << nest;
  }
}

TEST(Numbers, AreGroupedAsTheLocaleSays) {
  const std::string threes("\3", 1), indian("\3\2", 2);
  EXPECT_EQ(detail::grouped(1234567, ".", threes), "1.234.567");
  EXPECT_EQ(detail::grouped(12345678, ",", indian), "1,23,45,678");
  EXPECT_EQ(detail::grouped(1234567, "", threes), "1234567");  // the C locale
  EXPECT_EQ(detail::grouped(1234567, ".", ""), "1234567");
  EXPECT_EQ(detail::grouped(1234567, "\u202F", threes), "1\u202F234\u202F567");  // a separator of many bytes
}

// The "{}" of an English sentence, and which of them a translation takes.
std::multiset<std::string> argumentsTaken(std::string_view text, std::size_t count) {
  std::vector<std::string> marks;
  for (std::size_t i = 0; i < count; ++i) marks.push_back("\x01" + std::to_string(i) + "\x02");
  fmt::dynamic_format_arg_store<fmt::format_context> args;
  for (const std::string& m : marks) args.push_back(m);
  const std::string said = fmt::vformat(text, args);  // throws for a bad format
  std::multiset<std::string> taken;
  for (const std::string& m : marks)
    for (std::size_t at = said.find(m); at != std::string::npos; at = said.find(m, at + 1)) taken.insert(m);
  return taken;
}

std::size_t placeholders(std::string_view english) {
  std::size_t n = 0;
  for (std::size_t at = english.find("{}"); at != std::string_view::npos; at = english.find("{}", at + 2)) ++n;
  return n;
}

// What msgfmt --check cannot see in fmt's formats: a translation that
// would not format, or that drops or repeats one of its sentence's values.
TEST(Catalogs, EveryTranslationFormatsWithTheValuesOfItsSentence) {
  const auto catalog = MoCatalog::load(EZGITAR_TR_CATALOG);
  ASSERT_TRUE(catalog) << EZGITAR_TR_CATALOG;
  EXPECT_NE(catalog->header().find("charset=UTF-8"), std::string_view::npos);
  EXPECT_EQ(catalog->plural().forms(), 2);
  const auto entries = catalog->entries();
  EXPECT_GT(entries.size(), 200u);
  for (const MoCatalog::Entry& e : entries) {
    const std::string_view one = e.id.substr(0, e.id.find('\0'));
    const std::string_view many = e.id.find('\0') == std::string_view::npos ? one : e.id.substr(e.id.find('\0') + 1);
    EXPECT_EQ(e.forms.size(), e.id.find('\0') == std::string_view::npos ? 1u : 2u) << one;
    for (std::size_t f = 0; f < e.forms.size(); ++f) {
      const std::string_view english = f == 0 ? one : many;
      const std::size_t count = placeholders(english);
      try {
        EXPECT_EQ(argumentsTaken(e.forms[f], count), argumentsTaken(english, count))
            << "\"" << english << "\" -> \"" << e.forms[f] << "\"";
      } catch (const fmt::format_error& error) {
        ADD_FAILURE() << "\"" << e.forms[f] << "\" does not format: " << error.what();
      }
    }
  }
}

}  // namespace
}  // namespace ezg::cli
