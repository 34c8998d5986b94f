// The one way this program writes a file: into a temporary file in the
// target's folder, synced to disk, then renamed over the target, and the
// folder synced. A failure or a crash at any point leaves no partial file
// and the old file, if any, intact.
//
// Replacing a name happens under a lock on its folder, so runs that write
// into one folder never mix their pairs, and the first replacement in a
// folder clears what a killed run left there: temporaries nobody holds, and
// a pair it was replacing put back as it was (see commitBoth).
#pragma once

#include <sys/types.h>

#include <csignal>
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
  // the link stays a link. A target that is not a plain file (a device, a
  // FIFO, a folder) is refused.
  explicit SafeFile(const std::filesystem::path& target);
  ~SafeFile() override;
  SafeFile(const SafeFile&) = delete;
  SafeFile& operator=(const SafeFile&) = delete;

  void write(std::string_view bytes) override;
  void patch(std::uint64_t offset, std::uint8_t value) override;
  Status finish() override;
  void startWriteback() override;
  Status commit() override;
  Status status() const override { return failure_; }
  const std::string& name() const override { return name_; }
  bool replaces(const std::string& other) const override;
  SafeFile* file() override { return this; }

 private:
  friend Status commitBoth(OutputFile& first, OutputFile& second);

  void fail(Failure failure);
  void failErrno(int err);
  void openTemporary(mode_t mode);
  bool nameTemporary();
  void discard();
  void discardHeld();
  void forgetTemporary();
  bool syncFolder();

  std::string name_;        // as the caller gave it
  std::string leaf_;        // the file name that is replaced, in folder_
  std::string folder_;      // absolute, the real file's own folder
  int folderFd_ = -1;
  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  std::string tempLeaf_;    // the temporary's name in folder_, once it has one
  bool registered_ = false; // tempLeaf_ is in the list a signal clears
  dev_t targetDev_ = 0;     // the file replaced, when there is one
  ino_t targetIno_ = 0;
  bool hadTarget_ = false;
  bool finished_ = false;
  bool committed_ = false;
  Status failure_;
};

// Writes all of `bytes` to `target` safely.
Status writeFileSafely(const std::filesystem::path& target, std::string_view bytes);

// Both outputs replace their targets, or neither does: when the second
// cannot, the first target gets its old file back. Until both are in place
// the old first file is kept under a temporary name and a small record
// beside it says how to undo the pair, so that a run killed in between, or
// a power cut, is undone by the next run that writes into that folder. The
// failure's detail names the output that failed.
Status commitBoth(OutputFile& first, OutputFile& second);

// The signals that end a run. A replacement holds them off in its own thread
// until it is complete.
inline constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};

// For a run ended by a signal, from a thread that waited for it: waits until
// no replacement is under way, removes every temporary that has a name, and
// returns without letting any later replacement start.
void stopWritingAndRemoveTemporaries();

// The same from a signal handler, where the interrupted thread is the only
// one that writes, so a replacement cannot be half done: only unlinks.
void removeTemporariesOnSignal();

}  // namespace ezg
