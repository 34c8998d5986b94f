// The one way this program writes a file: into a temporary file in the
// target's folder, synced to disk, then renamed over the target, and the
// folder synced. A failure or a crash at any point leaves no partial file
// and the old file, if any, intact.
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
  // A target that is a symbolic link replaces the file the link points to;
  // the link stays a link.
  explicit SafeFile(const std::filesystem::path& target);
  ~SafeFile() override;
  SafeFile(const SafeFile&) = delete;
  SafeFile& operator=(const SafeFile&) = delete;

  void write(std::string_view bytes) override;
  void patch(std::uint64_t offset, std::uint8_t value) override;
  Status finish() override;
  void startWriteback() override;
  Status commit() override;
  Status commitKeepingOld() override;
  Status revert() override;
  void dropOld() override;
  Status status() const override { return failure_; }
  const std::string& name() const override { return name_; }

 private:
  void fail(Failure failure);
  void failErrno(int err);
  Status replace(bool keepOld);
  bool linkIn();
  void discard();
  void syncFolder();

  std::string name_;       // as the caller gave it
  std::string leaf_;       // the file name that is replaced, in folder_
  std::string folder_;     // absolute, the real file's own folder
  int folderFd_ = -1;
  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  int tempSlot_ = -1;      // a name in the removal registry, while it exists
  std::string tempLeaf_;   // the temporary's name in folder_, once it has one
  std::string oldLeaf_;    // the replaced file, kept aside until dropOld()
  int oldSlot_ = -1;
  bool hadOld_ = false;
  bool finished_ = false;
  bool committed_ = false;
  Status failure_;
};

// Writes all of `bytes` to `target` safely.
Status writeFileSafely(const std::filesystem::path& target, std::string_view bytes);

// Both outputs replace their targets, or neither does: when the second
// cannot, the first target gets its old file back. The failure's detail
// names the output that failed.
Status commitBoth(OutputFile& first, OutputFile& second);

// Temporary files live only while they are written. A run ended by a signal
// removes the ones that have a name: removeTemporariesOnSignal() only
// unlinks and may be called from a signal handler; removeTemporariesNow()
// is the same for ordinary code.
void removeTemporariesOnSignal();
void removeTemporariesNow();

}  // namespace ezg
