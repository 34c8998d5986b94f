// Writes one generated melody of a given size, for benchmarks and trials:
//   make_midi FILE BYTES [SEED]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "midi/safe_write.h"
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
  if (const ezg::Status failed = ezg::writeFileSafely(argv[1], std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) {
    std::fprintf(stderr, "make_midi: %s: cannot write (%s)\n", argv[1], std::string(ezg::sysErrorName(failed->sysError)).c_str());
    return 1;
  }
  return 0;
}
