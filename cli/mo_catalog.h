// A compiled message catalog (the .mo file msgfmt makes from po/), read by
// hand: the C library of the Windows build has no gettext. The same reader
// serves both builds' tests, which hold the catalogs against the sources.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ezg::cli {

// Which plural form fits a count, from a catalog's "Plural-Forms:" line:
// the C expression of n that gettext takes ("n != 1", "n==1 ? 0 : n==2 ?
// 1 : 2"). An expression it cannot read gives the English choice.
class PluralRule {
 public:
  PluralRule() = default;
  explicit PluralRule(std::string expression) : expression_(std::move(expression)) {}
  // From a header's "nplurals=2; plural=(n != 1);".
  static PluralRule fromHeader(std::string_view header);
  unsigned long formFor(std::uint64_t n) const;
  int forms() const { return forms_; }

 private:
  std::string expression_ = "n != 1";
  int forms_ = 2;
};

class MoCatalog {
 public:
  // Nothing when the file is missing or is no well-made catalog.
  static std::optional<MoCatalog> load(const std::filesystem::path& file);
  static std::optional<MoCatalog> parse(std::vector<std::uint8_t> bytes);

  // The translation of `id`, or null. The text lives as long as the catalog.
  const char* find(std::string_view id) const;
  // The form of the plural entry `one` that fits `n`, or null.
  const char* findPlural(std::string_view one, std::uint64_t n) const;

  struct Entry {
    std::string_view id;                  // the English, both forms apart by '\0'
    std::vector<std::string_view> forms;  // the translation, one or more forms
  };
  // Every entry but the header, in the file's order.
  std::vector<Entry> entries() const;
  // The header's text (its "Content-Type:", "Plural-Forms:" lines).
  std::string_view header() const;
  const PluralRule& plural() const { return plural_; }

 private:
  struct Span {
    std::uint32_t at, size;
  };
  std::string_view text(Span s) const;
  std::optional<std::size_t> indexOf(std::string_view id) const;

  std::vector<std::uint8_t> bytes_;
  std::vector<Span> ids_, strs_;
  PluralRule plural_;
};

}  // namespace ezg::cli
