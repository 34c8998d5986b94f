#include "splitter/strip.h"

#include <algorithm>
#include <cmath>

namespace ezg {

int stripSourceRow(std::int64_t packetNumber) {
  const double exact = kStripClosedRow - (static_cast<double>(packetNumber) / kStripScalePackets) * kStripClosedRow;
  // Packet numbers start at 1; anything else still shows rows of the image.
  const double row = std::clamp(std::round(exact), double{kStripOpenRow}, double{kStripClosedRow});
  return static_cast<int>(row);
}

}  // namespace ezg
