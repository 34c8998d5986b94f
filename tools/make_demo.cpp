// Writes the demo folder's MIDI files: short makam-like melodies of our own.
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/failure_text.h"
#include "tools/midi_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo FOLDER\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  struct Piece {
    const char* name;
    std::size_t notes;
    std::uint32_t seed;
  };
  const Piece pieces[] = {
      {"rast-saz-semaisi.mid", 48, 1},
      {"uşşak-peşrev.mid", 640, 2},
      {"hicaz-şarkı.mid", 32, 3},
      {"segah-taksim.mid", 24, 4},
  };
  for (const Piece& p : pieces) {
    const auto bytes = ezg::build::makeMidi(ezg::build::makamMelody(p.notes, p.seed));
    if (!ezg::cli::writeOrSay("make_demo", dir / p.name, ezg::asChars(bytes))) return 1;
  }
  return 0;
}
