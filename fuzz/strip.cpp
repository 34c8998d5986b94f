// Any packet number: the strip's source row stays inside the image, follows
// the rounded formula while it is not negative, and never moves back down
// as the packet number grows.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "splitter/strip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  std::int64_t i;
  std::memcpy(&i, data, 8);
  const int row = ezg::stripSourceRow(i);
  if (row < ezg::kStripOpenRow || row > ezg::kStripClosedRow) std::abort();
  if (i >= 1 && i < 1028) {
    const double exact = 236.0 - (static_cast<double>(i) / 1025.0) * 236.0;
    if (row != static_cast<int>(std::lround(exact))) std::abort();
  }
  if (i >= 1 && i < INT64_MAX && ezg::stripSourceRow(i + 1) > row) std::abort();
  return 0;
}
