// Any bytes as a catalog beside the program, or as its plural rule: read
// within its bytes (the sanitizers see every look-up's text to its end),
// and any rule works out a form for any count without faulting. A first
// byte that is even takes the rest as a catalog; odd, as a header.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "cli/mo_catalog.h"

namespace {

constexpr std::uint64_t kCounts[] = {0, 1, 2, 5, 11, 21, 100, 1238, ~std::uint64_t{0}};

void checkRule(const ezg::cli::PluralRule& rule) {
  for (std::uint64_t n : kCounts) {
    const unsigned long form = rule.formFor(n);
    if (rule.forms() > 0 && form >= static_cast<unsigned long>(rule.forms())) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] % 2 == 1) {
    checkRule(ezg::cli::PluralRule::fromHeader({reinterpret_cast<const char*>(data + 1), size - 1}));
    return 0;
  }
  const auto catalog = ezg::cli::MoCatalog::parse({data + 1, data + size});
  if (!catalog) return 0;
  checkRule(catalog->plural());
  // Every text lies in the catalog's own bytes, so none is as long.
  const auto within = [&](std::size_t length) {
    if (length >= size) std::abort();
  };
  const auto text = [&](const char* t) { within(t ? std::strlen(t) : 0); };
  within(catalog->header().size());
  text(catalog->find("no such file"));
  for (const auto& e : catalog->entries()) {
    within(e.id.size());
    const std::string_view one = e.id.substr(0, e.id.find('\0'));
    text(catalog->find(one));
    for (std::uint64_t n : kCounts) text(catalog->findPlural(one, n));
  }
  return 0;
}
