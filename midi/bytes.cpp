#include "midi/bytes.h"

namespace ezg {

void Nibblize(std::int32_t Value, std::int16_t& Msb, std::int16_t& Lsb) {
  // C++ integer division truncates toward zero, which is the rule we want.
  Msb = static_cast<std::int16_t>(Value / 16);
  Lsb = static_cast<std::int16_t>(Value - 16 * Msb);
}

}  // namespace ezg
