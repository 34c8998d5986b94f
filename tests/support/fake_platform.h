// A platform for tests: real files in a folder of the test's choosing, but
// clock, separator and standard error are set or recorded, and a chosen
// output or the folder scan fails.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/platform.h"

namespace ezg {

// Plays nothing: says what it was asked, or fails as told.
struct FakePlayer final : sound::Player {
  std::vector<Bytes> played;  // every piece started, in order
  bool playing = false;
  int stops = 0;  // stop() while something played
  sound::SoundStatus failWith;

  sound::SoundStatus play(std::span<const std::uint8_t> file) override {
    stop();
    if (failWith) return failWith;
    played.emplace_back(file.begin(), file.end());
    playing = true;
    return std::nullopt;
  }
  void stop() override {
    if (playing) ++stops;
    playing = false;
  }
  bool waitForEnd(std::chrono::milliseconds) override { return !playing; }
};

class FakePlatform : public FsPlatform {
 public:
  std::string programFolderPath;
  std::vector<std::string> errors;  // lines for standard error
  char separator = '.';
  LocalDateTime clock{2026, 12, 6, 12, 0, 0};
  // When set, outputs of that name find the disk full after this many bytes.
  std::string failOutputName;
  std::size_t failAfterBytes = 0;
  // When set, every folder scan fails so.
  std::optional<FailureCode> scanFailure;

  void writeError(const std::string& text) override { errors.push_back(text); }
  char decimalSeparator() override { return separator; }
  LocalDateTime now() override { return clock; }
  std::string programFolder() override { return programFolderPath; }
  std::unique_ptr<OutputFile> createOutput(const std::string& name) override;
  Status scanFolder(const std::string& pattern, std::vector<std::string>& names) override;
  sound::Player& player() override { return fakePlayer; }
  FakePlayer fakePlayer;
};

}  // namespace ezg
