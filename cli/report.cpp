#include <cstdio>

#include "cli/commands.h"

namespace ezg::cli {

int runReport(const Args&) {
  std::fprintf(stderr, "ezgitar-cli: report is not available in this build yet\n");
  return kExitFailure;
}

int runTest(const Args&) {
  std::fprintf(stderr, "ezgitar-cli: test is not available in this build yet\n");
  return kExitFailure;
}

}  // namespace ezg::cli
