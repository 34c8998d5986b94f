// ezgitar-cli run as a user would, in a fresh folder per test.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/run_command.h"
#include "tools/midi_builder.h"

namespace ezg::testing {

// `count` notes, each before a four-byte delta time, so every note but the
// last warns (at 27, 34, ...); then a bend of 3.125 cents.
inline Bytes warningSong(int count) {
  Bytes track;
  for (int i = 0; i < count; ++i) track.insert(track.end(), {0xFF, 0xFF, 0xFF, 0x00, 0x90, 0x3C, 0x40});
  track.insert(track.end(), {0x00, 0xE0, 0x00, 0x41});
  return build::wrapTrack(track);
}

class Cli : public ::testing::Test {
 protected:
  // Runs in the test's folder, so relative names work; q() gives full ones.
  // A hang fails the test instead of blocking it.
  CommandResult cli(const std::string& args, const std::string& env = "") const {
    return runCommand("cd " + q("") + " && " + env + "timeout 60 " EZGITAR_CLI " " + args);
  }
  std::string q(std::string_view name) const { return shellQuote((dir / name).string()); }
  long files() const { return std::distance(std::filesystem::directory_iterator(dir.path()), {}); }
  // A failure is told in one line of the command line's own.
  static bool oneLine(const CommandResult& r) {
    return r.err.starts_with("ezgitar-cli: ") && r.err.find('\n') == r.err.size() - 1;
  }
  const Bytes song = build::makeMidi(std::vector<build::Note>(2));
  TempDir dir;
};

}  // namespace ezg::testing
