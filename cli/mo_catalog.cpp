#include "cli/mo_catalog.h"

#include <algorithm>
#include <cstring>

#include "files/read_file.h"

namespace ezg::cli {
namespace {

constexpr std::uint32_t kMagic = 0x950412DE, kSwappedMagic = 0xDE120495;

// The plural expression, read and worked out in one pass: a C expression
// of n with ?:, ||, &&, comparisons, + - * / %, ! and parentheses, which
// is all a catalog's rule uses.
class PluralExpression {
 public:
  PluralExpression(std::string_view text, std::uint64_t n) : text_(text), n_(n) {}
  std::optional<std::uint64_t> value() {
    const std::uint64_t v = conditional();
    skipSpace();
    if (failed_ || at_ != text_.size()) return std::nullopt;
    return v;
  }

 private:
  void skipSpace() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n')) ++at_;
  }
  bool take(std::string_view op) {
    skipSpace();
    if (text_.substr(at_, op.size()) != op) return false;
    // "<" is not "<=", nor "!" "!=".
    if ((op == "<" || op == ">" || op == "!") && at_ + 1 < text_.size() && text_[at_ + 1] == '=') return false;
    at_ += op.size();
    return true;
  }
  // Deeper than any catalog writes a rule: no rule, before the stack runs out.
  static constexpr int kDeepest = 200;
  class Nested {
   public:
    explicit Nested(PluralExpression& e) : e_(e) {
      if (++e_.depth_ > kDeepest) e_.fail();
    }
    ~Nested() { --e_.depth_; }
    Nested(const Nested&) = delete;
    Nested& operator=(const Nested&) = delete;

   private:
    PluralExpression& e_;
  };
  // Nothing more is read.
  void fail() {
    failed_ = true;
    at_ = text_.size();
  }

  std::uint64_t conditional() {
    const Nested nested(*this);
    if (failed_) return 0;
    const std::uint64_t test = either();
    if (!take("?")) return test;
    const std::uint64_t yes = conditional();
    if (!take(":")) failed_ = true;
    const std::uint64_t no = conditional();
    return test ? yes : no;
  }
  std::uint64_t either() {
    std::uint64_t v = both();
    while (take("||")) v = both() || v ? 1 : 0;
    return v;
  }
  std::uint64_t both() {
    std::uint64_t v = equality();
    while (take("&&")) v = equality() && v ? 1 : 0;
    return v;
  }
  std::uint64_t equality() {
    std::uint64_t v = relation();
    for (;;) {
      if (take("=="))
        v = v == relation();
      else if (take("!="))
        v = v != relation();
      else
        return v;
    }
  }
  std::uint64_t relation() {
    std::uint64_t v = sum();
    for (;;) {
      if (take("<="))
        v = v <= sum();
      else if (take(">="))
        v = v >= sum();
      else if (take("<"))
        v = v < sum();
      else if (take(">"))
        v = v > sum();
      else
        return v;
    }
  }
  std::uint64_t sum() {
    std::uint64_t v = product();
    for (;;) {
      if (take("+"))
        v += product();
      else if (take("-"))
        v -= product();
      else
        return v;
    }
  }
  std::uint64_t product() {
    std::uint64_t v = unary();
    for (;;) {
      const bool times = take("*"), divide = !times && take("/"), rest = !times && !divide && take("%");
      if (!times && !divide && !rest) return v;
      const std::uint64_t by = unary();
      if (times)
        v *= by;
      else if (by == 0)
        failed_ = true;
      else
        v = divide ? v / by : v % by;
    }
  }
  std::uint64_t unary() {
    const Nested nested(*this);
    if (failed_) return 0;
    if (take("!")) return unary() == 0 ? 1 : 0;
    skipSpace();
    if (take("(")) {
      const std::uint64_t v = conditional();
      if (!take(")")) failed_ = true;
      return v;
    }
    if (at_ < text_.size() && text_[at_] == 'n') {
      ++at_;
      return n_;
    }
    std::uint64_t v = 0;
    const std::size_t start = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') v = v * 10 + (text_[at_++] - '0');
    if (at_ == start) failed_ = true;
    return v;
  }

  std::string_view text_;
  std::uint64_t n_;
  std::size_t at_ = 0;
  int depth_ = 0;
  bool failed_ = false;
};

std::string_view upToNul(std::string_view s) { return s.substr(0, s.find('\0')); }

}  // namespace

PluralRule PluralRule::fromHeader(std::string_view header) {
  PluralRule rule;
  const std::size_t line = header.find("Plural-Forms:");
  if (line == std::string_view::npos) return rule;
  std::string_view forms = header.substr(line);
  forms = forms.substr(0, forms.find('\n'));
  const std::size_t count = forms.find("nplurals="), plural = forms.find("plural=", count + 1);
  if (count == std::string_view::npos || plural == std::string_view::npos) return rule;
  // No language has more than a handful of forms: more is no rule to read.
  constexpr int kMostForms = 100;
  int n = 0;
  for (std::size_t i = count + 9; i < forms.size() && forms[i] >= '0' && forms[i] <= '9'; ++i)
    if ((n = n * 10 + (forms[i] - '0')) > kMostForms) return rule;
  std::string_view expression = forms.substr(plural + 7);
  expression = expression.substr(0, expression.find(';'));
  if (n < 1 || expression.empty()) return rule;
  rule.expression_ = std::string(expression);
  rule.forms_ = n;
  return rule;
}

unsigned long PluralRule::formFor(std::uint64_t n) const {
  // An expression it cannot read makes the English choice.
  const std::uint64_t form = PluralExpression(expression_, n).value().value_or(n != 1 ? 1 : 0);
  // As gettext does: a form the catalog does not have is the first.
  return form < static_cast<std::uint64_t>(forms_) ? static_cast<unsigned long>(form) : 0;
}

std::optional<MoCatalog> MoCatalog::load(const std::filesystem::path& file) {
  std::vector<std::uint8_t> bytes;
  if (readWholeFile(file, bytes)) return std::nullopt;
  return parse(std::move(bytes));
}

// The layout: a magic number in either byte order, the count of strings,
// where the table of the English strings and the table of the translations
// start, each row a length and an offset; every string ends in '\0'. The
// English strings are sorted, so they are found by halving.
std::optional<MoCatalog> MoCatalog::parse(std::vector<std::uint8_t> bytes) {
  auto word = [&](std::size_t at, bool swapped) -> std::optional<std::uint32_t> {
    if (at > bytes.size() || bytes.size() - at < 4) return std::nullopt;
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
      v |= static_cast<std::uint32_t>(bytes[at + static_cast<std::size_t>(i)]) << (swapped ? 24 - 8 * i : 8 * i);
    return v;
  };
  const std::optional<std::uint32_t> magic = word(0, false);
  if (!magic || (*magic != kMagic && *magic != kSwappedMagic)) return std::nullopt;
  const bool swapped = *magic == kSwappedMagic;
  const auto revision = word(4, swapped), count = word(8, swapped), ids = word(12, swapped), strs = word(16, swapped);
  // Only the major revision 0 is this layout.
  if (!revision || (*revision >> 16) != 0 || !count || !ids || !strs) return std::nullopt;
  MoCatalog catalog;
  // A table of (length, offset) rows, each string inside the bytes and
  // ended by a 0.
  auto readTable = [&](std::size_t table, std::vector<Span>& into) {
    for (std::size_t row = table; row < table + std::size_t{*count} * 8; row += 8) {
      const auto size = word(row, swapped), at = word(row + 4, swapped);
      if (!size || !at || *at >= bytes.size() || bytes.size() - *at <= *size || bytes[std::size_t{*at} + *size] != 0)
        return false;
      into.push_back({*at, *size});
    }
    return true;
  };
  if (!readTable(*ids, catalog.ids_) || !readTable(*strs, catalog.strs_)) return std::nullopt;
  catalog.bytes_ = std::move(bytes);
  for (std::size_t i = 1; i < catalog.ids_.size(); ++i)
    if (upToNul(catalog.text(catalog.ids_[i - 1])) >= upToNul(catalog.text(catalog.ids_[i]))) return std::nullopt;
  catalog.plural_ = PluralRule::fromHeader(catalog.header());
  return catalog;
}

std::string_view MoCatalog::text(Span s) const { return {reinterpret_cast<const char*>(bytes_.data()) + s.at, s.size}; }

std::optional<std::size_t> MoCatalog::indexOf(std::string_view id) const {
  const auto found = std::lower_bound(ids_.begin(), ids_.end(), id,
                                      [&](Span s, std::string_view key) { return upToNul(text(s)) < key; });
  if (found == ids_.end() || upToNul(text(*found)) != id) return std::nullopt;
  return static_cast<std::size_t>(found - ids_.begin());
}

const char* MoCatalog::find(std::string_view id) const {
  const std::optional<std::size_t> i = id.empty() ? std::nullopt : indexOf(id);
  // An entry msgfmt kept without a translation is as good as none.
  return i && strs_[*i].size > 0 ? text(strs_[*i]).data() : nullptr;
}

const char* MoCatalog::findPlural(std::string_view one, std::uint64_t n) const {
  const std::optional<std::size_t> i = one.empty() ? std::nullopt : indexOf(one);
  if (!i || strs_[*i].size == 0) return nullptr;
  std::string_view forms = text(strs_[*i]);
  for (unsigned long form = plural_.formFor(n); form > 0; --form) {
    const std::size_t end = forms.find('\0');
    if (end == std::string_view::npos) return nullptr;
    forms.remove_prefix(end + 1);
  }
  return forms.data();
}

std::vector<MoCatalog::Entry> MoCatalog::entries() const {
  std::vector<Entry> all;
  for (std::size_t i = 0; i < ids_.size(); ++i) {
    if (ids_[i].size == 0) continue;  // the header
    Entry e{text(ids_[i]), {}};
    std::string_view forms = text(strs_[i]);
    for (std::size_t end; (end = forms.find('\0')) != std::string_view::npos; forms.remove_prefix(end + 1))
      e.forms.push_back(forms.substr(0, end));
    e.forms.push_back(forms);
    all.push_back(std::move(e));
  }
  return all;
}

std::string_view MoCatalog::header() const {
  return !ids_.empty() && ids_[0].size == 0 ? text(strs_[0]) : std::string_view();
}

}  // namespace ezg::cli
