// ezgitar-cli: the window's work from the command line, for many files.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/help.h"

namespace ezg::cli {
namespace {

const std::vector<Command>& commands() {
  static const std::vector<Command> list = {
      {"split", runSplit},
      {"report", runReport},
      {"test", runTest},
  };
  return list;
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
    printMainHelp(stdout);
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
