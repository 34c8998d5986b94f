// The one way this program writes a file: into a temporary file in the same
// folder, then a rename over the target. A failure at any point leaves no
// partial file and the old file, if any, intact.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "midi/sink.h"

namespace ezg {

class SafeFile final : public OutputFile {
 public:
  explicit SafeFile(std::filesystem::path target);
  ~SafeFile() override;
  SafeFile(const SafeFile&) = delete;
  SafeFile& operator=(const SafeFile&) = delete;

  void write(std::string_view bytes) override;
  bool finish() override;
  bool commit() override;
  bool ok() const override { return error_.empty(); }
  std::string error() const override { return error_; }

  const std::filesystem::path& target() const { return target_; }

 private:
  void fail(std::string what);
  void discard();

  std::filesystem::path target_;
  std::filesystem::path temp_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  bool finished_ = false;
  bool committed_ = false;
  std::string error_;
};

// Writes all of `bytes` to `target` safely. Returns false and sets `error`
// (when given) on failure.
bool writeFileSafely(const std::filesystem::path& target, std::string_view bytes,
                     std::string* error = nullptr);

}  // namespace ezg
