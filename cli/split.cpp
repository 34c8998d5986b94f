#include <cstdio>

#include "cli/commands.h"

namespace ezg::cli {

int runSplit(const Args&) {
  std::fprintf(stderr, "ezgitar-cli: split is not available in this build yet\n");
  return kExitFailure;
}

}  // namespace ezg::cli
