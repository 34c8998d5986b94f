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
  Status finish() override;
  Status commit() override;
  Status status() const override { return failure_; }
  const std::string& name() const override { return name_; }

 private:
  void fail(Failure failure);
  void failErrno(int err, std::string detail = {});
  void discard();

  std::filesystem::path target_;
  std::string name_;
  std::filesystem::path temp_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  bool finished_ = false;
  bool committed_ = false;
  Status failure_;
};

// Writes all of `bytes` to `target` safely.
Status writeFileSafely(const std::filesystem::path& target, std::string_view bytes);

// Both outputs are complete before either replaces its target, so no name
// ever holds a partial file. The failure's detail names the output that
// failed.
Status commitBoth(OutputFile& first, OutputFile& second);

}  // namespace ezg
