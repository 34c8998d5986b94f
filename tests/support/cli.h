// ezgitar-cli run as a user would, from a fresh folder of the test's own.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/run_command.h"
#include "fixtures/midi_builder.h"

namespace ezg::testing {

class Cli : public ::testing::Test {
 protected:
  Cli() = default;
  // In `base`, for tests that need that file system's features.
  explicit Cli(const std::filesystem::path& base) : dir(base) {}

  // Runs in the test's folder, so relative names work; q() gives full ones.
  // `prefix` goes before the command: variables, or a tracer. A hang fails
  // the test instead of blocking it. The program speaks English, whatever
  // the language of whoever runs the tests, unless `prefix` says otherwise.
  CommandResult cli(const std::string& args, const std::string& prefix = "") const {
    return runCommand("cd " + q("") + " && " + kEnglish + prefix + "timeout 60 " EZGITAR_CLI " " + args);
  }
  static constexpr const char* kEnglish = "LANGUAGE= LC_ALL= LC_MESSAGES= LC_NUMERIC= LANG=C.UTF-8 ";
  std::string q(std::string_view name) const { return shellQuote((dir / name).string()); }
  // A failure is told in one line of the command line's own.
  static bool oneLine(const CommandResult& r) {
    return r.err.starts_with("ezgitar-cli: ") && r.err.find('\n') == r.err.size() - 1;
  }

  const Bytes song = build::makeMidi(std::vector<build::Note>(2));
  TempDir dir;
};

}  // namespace ezg::testing
