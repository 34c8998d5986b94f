// Writes one generated melody of a given size, for benchmarks and trials:
//   make_midi FILE BYTES [SEED]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/failure_text.h"
#include "tools/midi_builder.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: make_midi FILE BYTES [SEED]\n");
    return 2;
  }
  const auto want = std::strtoull(argv[2], nullptr, 10);
  const auto seed = argc > 3 ? static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 1u;
  // About 12 bytes a note; grow until the file is big enough.
  auto bytes = ezg::build::makeMidi(ezg::build::makamMelody(want / 12 + 1, seed));
  return ezg::cli::writeOrSay("make_midi", argv[1], ezg::asChars(bytes)) ? 0 : 1;
}
