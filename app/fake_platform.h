// A platform for tests: real files in a folder of the test's choosing, but
// message boxes, pointer, pump, clock and separator are recorded or set.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/platform.h"

namespace ezg {

class FakePlatform : public FsPlatform {
 public:
  std::string programFolderPath;
  std::vector<std::string> messages;
  std::vector<Pointer> pointers;
  int pumpCount = 0;
  char separator = '.';
  LocalDateTime clock{2026, 12, 6, 12, 0, 0};
  // Called on every pump pass, for tests that click while work runs.
  std::function<void(int)> onPump;
  // Called on every message box, for tests that act while it is up.
  std::function<void(const std::string&)> onMessage;
  // When set, outputs of that name fail with `failOutputCode` after this
  // many bytes.
  std::string failOutputName;
  std::size_t failAfterBytes = 0;
  FailureCode failOutputCode = FailureCode::DiskFull;
  // When set, reading that name (or scanning the folder, for ".") fails with
  // `failReadCode`.
  std::string failReadName;
  FailureCode failReadCode = FailureCode::Other;

  void messageBox(const std::string& text) override {
    messages.push_back(text);
    if (onMessage) onMessage(text);
  }
  void setPointer(Pointer p) override { pointers.push_back(p); }
  void pumpEvents() override {
    ++pumpCount;
    if (onPump) onPump(pumpCount);
  }
  char decimalSeparator() override { return separator; }
  LocalDateTime now() override { return clock; }
  std::string programFolder() override { return programFolderPath; }
  std::unique_ptr<OutputFile> createOutput(const std::string& name) override;
  Status readFile(const std::string& name, Bytes& bytes) override;
  Status scanFolder(const std::string& pattern, std::vector<std::string>& names) override;
};

}  // namespace ezg
