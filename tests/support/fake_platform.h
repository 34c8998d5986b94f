// A platform for tests: real files in a folder of the test's choosing, but
// clock, separator and standard error are set or recorded, and chosen reads
// and writes fail.
#pragma once

#include <string>
#include <vector>

#include "app/platform.h"

namespace ezg {

class FakePlatform : public FsPlatform {
 public:
  std::string programFolderPath;
  std::vector<std::string> errors;  // lines for standard error
  char separator = '.';
  LocalDateTime clock{2026, 12, 6, 12, 0, 0};
  // When set, outputs of that name fail with `failOutputCode` after this
  // many bytes.
  std::string failOutputName;
  std::size_t failAfterBytes = 0;
  FailureCode failOutputCode = FailureCode::DiskFull;
  // When set, reading that name (or scanning the folder, for ".") fails with
  // `failReadCode`.
  std::string failReadName;
  FailureCode failReadCode = FailureCode::Other;

  void writeError(const std::string& text) override { errors.push_back(text); }
  char decimalSeparator() override { return separator; }
  LocalDateTime now() override { return clock; }
  std::string programFolder() override { return programFolderPath; }
  std::unique_ptr<OutputFile> createOutput(const std::string& name) override;
  Status readFile(const std::string& name, Bytes& bytes) override;
  Status scanFolder(const std::string& pattern, std::vector<std::string>& names) override;
};

}  // namespace ezg
