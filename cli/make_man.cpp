// Writes ezgitar-cli's man page from the --help text.
#include <cstdio>
#include <fstream>

#include "cli/help.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_man FILE\n");
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << ezg::cli::manPage(EZGITAR_VERSION);
  return out ? 0 : 1;
}
