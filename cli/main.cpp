// ezgitar-cli: the window's work from the command line, for many files.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace ezg::cli {
namespace {

// Subcommands register here as they are built.
const std::vector<Command>& commands() {
  static const std::vector<Command> list = {
      {"split", "write <name>_13.mid and <name>_24.mid for each file", runSplit},
      {"report", "write the byte-by-byte report <name>.txt for each file", runReport},
      {"test", "warn about oversized delta times, writing nothing", runTest},
  };
  return list;
}

void printHelp() {
  std::printf(
      "Usage: ezgitar-cli COMMAND [OPTIONS] FILE...\n"
      "       ezgitar-cli --help | --version\n"
      "\n"
      "Works on Standard MIDI Files the way the Ezgitar window does.\n"
      "\n"
      "Commands:\n");
  for (const Command& c : commands()) std::printf("  %-8s %s\n", c.name, c.summary);
  std::printf(
      "\n"
      "Options:\n"
      "  -h, --help     show this help and exit\n"
      "  -V, --version  show the version and exit\n"
      "\n"
      "Exit status: 0 success, 1 warnings found, 2 usage error or a file failed.\n");
}

}  // namespace
}  // namespace ezg::cli

int main(int argc, char** argv) {
  using namespace ezg::cli;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fprintf(stderr, "ezgitar-cli: no command given (try 'ezgitar-cli --help')\n");
    return kExitFailure;
  }
  const std::string& first = args.front();
  if (first == "-h" || first == "--help") {
    printHelp();
    return kExitOk;
  }
  if (first == "-V" || first == "--version") {
    std::printf("ezgitar-cli %s\n", EZGITAR_VERSION);
    return kExitOk;
  }
  for (const Command& c : commands()) {
    if (first == c.name) return c.run(Args(args.begin() + 1, args.end()));
  }
  if (first.starts_with("-"))
    std::fprintf(stderr, "ezgitar-cli: unknown option '%s' (try 'ezgitar-cli --help')\n", first.c_str());
  else
    std::fprintf(stderr, "ezgitar-cli: unknown command '%s' (try 'ezgitar-cli --help')\n", first.c_str());
  return kExitFailure;
}
