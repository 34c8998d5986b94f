// Any packet number: the strip's source row is the whole row nearest to its
// share of the 236 rows still closed at packet i of the fixed 1,025, checked
// in integers; before packet 1 the strip is closed, past 1,025 open.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "splitter/strip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  std::int64_t i;
  std::memcpy(&i, data, 8);
  const std::int64_t row = ezg::stripSourceRow(i);
  if (i < 1) {
    if (row != 236) std::abort();
  } else if (i > 1025) {
    if (row != 0) std::abort();
  } else {
    // |row - 236 (1025 - i) / 1025| < 1/2, times 2 x 1025; never a tie, as
    // the right side is even and 1025 odd.
    if (std::llabs(2 * 1025 * row - 472 * (1025 - i)) >= 1025) std::abort();
  }
  return 0;
}
