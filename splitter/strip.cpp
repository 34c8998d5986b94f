#include "splitter/strip.h"

#include <cmath>

namespace ezg {

int stripSourceRow(std::int64_t packetNumber) {
  const double exact =
      kStripClosedRow - (static_cast<double>(packetNumber) / kStripScalePackets) * kStripClosedRow;
  const double row = std::round(exact);
  return row < kStripOpenRow ? kStripOpenRow : static_cast<int>(row);
}

}  // namespace ezg
