// The one way this program writes a file: into a temporary file in the
// target's folder, synced to disk, then renamed over the target, and the
// folder synced. A failure or a crash at any point leaves no partial file
// and the old file, if any, intact.
//
// On POSIX, replacing a name happens under a lock on its folder, so runs
// that write into one folder never mix their pairs, and the first
// replacement in a folder clears what a killed run left there: temporaries
// nobody holds, and a pair it was replacing put back as it was (see
// commitBoth). Windows flushes the temporary and moves it over the target
// with MoveFileExW; it has no folder lock and no record of a pair.
//
// One interface, a source per system: safe_write-posix.cpp and
// safe_write-win32.cpp, with what they share in safe_write.cpp.
#pragma once

#ifndef _WIN32
#include <sys/types.h>

#include <csignal>
#endif
#include <cerrno>
#include <cstdint>
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
  // the link stays a link (on POSIX). A target that is not a plain file (a
  // device, a FIFO, a folder), a read-only one and, on Windows, one that
  // another program holds open are refused before anything is written.
  explicit SafeFile(const std::filesystem::path& target);
  ~SafeFile() override;
  SafeFile(const SafeFile&) = delete;
  SafeFile& operator=(const SafeFile&) = delete;

  void write(std::string_view bytes) override;
  void patch(std::uint64_t offset, std::uint8_t value) override;
  [[nodiscard]] Status finish() override;
  void startWriteback() override;
  [[nodiscard]] Status commit() override;
  [[nodiscard]] Status status() const override { return failure_; }
  const std::string& name() const override { return name_; }
  bool replaces(const std::string& other) const override;
  SafeFile* file() override { return this; }

 private:
  // commitBoth's own work once both are complete files: each system's.
  friend Status replacePair(SafeFile& first, SafeFile& second);

  void fail(Failure failure);
  void failErrno(int err);
  void discard();
  void discardHeld();
  void forgetTemporary();

  std::string name_;        // as the caller gave it
#ifdef _WIN32
  [[nodiscard]] bool resolveTarget(const std::filesystem::path& target);
  void openTemporary();
  void failWindows(unsigned long err);
  bool writeOut(const char* data, std::size_t size, std::uint64_t offset);
  bool flushBuffer();

  std::wstring target_;      // absolute
  std::wstring folder_;      // the target's folder, where the temporary goes
  std::wstring temp_;        // the temporary's full name, once it has one
  void* handle_ = nullptr;   // the temporary, while it is written
  std::string buffer_;       // written, not yet handed to the system
  std::uint64_t written_ = 0;  // handed to the system
  unsigned long targetVolume_ = 0;  // the file replaced, when there is one
  std::uint64_t targetIndex_ = 0;
  bool registered_ = false;  // temp_ is in the list a console close clears
#else
  [[nodiscard]] bool resolveTarget(const std::filesystem::path& target, mode_t& mode);
  void openTemporary(mode_t mode);
  bool nameTemporary();
  bool syncFolder();

  std::string leaf_;        // the file name that is replaced, in folder_
  std::string folder_;      // absolute, the real file's own folder
  int folderFd_ = -1;
  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  std::string tempLeaf_;    // the temporary's name in folder_, once it has one
  bool registered_ = false; // tempLeaf_ is in the list a signal clears
  dev_t targetDev_ = 0;     // the file replaced, when there is one
  ino_t targetIno_ = 0;
#endif
  bool hadTarget_ = false;
  bool finished_ = false;
  bool committed_ = false;
  Status failure_;
};

// Writes all of `bytes` to `target` safely.
[[nodiscard]] Status writeFileSafely(const std::filesystem::path& target, std::string_view bytes);

// Both outputs replace their targets, or neither does: when the second
// cannot, the first target gets its old file back. Until both are in place
// the old first file is kept under a temporary name and, on POSIX, a small
// record beside it says how to undo the pair, so that a run killed in
// between, or a power cut, is undone by the next run that writes into that
// folder. The failure's detail names the output that failed.
[[nodiscard]] Status commitBoth(OutputFile& first, OutputFile& second);

// For a run being ended (a signal, Ctrl+C, the console closed), from a
// thread that waited for it: waits until no replacement is under way,
// removes every temporary that has a name, and returns without letting any
// later replacement start.
void stopWritingAndRemoveTemporaries();

#ifndef _WIN32
// The signals that end a run. A replacement holds them off in its own thread
// until it is complete.
inline constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};

// The same from a signal handler, where the interrupted thread is the only
// one that writes, so a replacement cannot be half done: only unlinks.
void removeTemporariesOnSignal();
#endif

namespace detail {
// Temporaries, and the record of a pair being replaced. Short and of fixed
// length, so that any name the folder takes can be replaced; recognisable,
// so that what a killed run left is found again.
inline constexpr std::string_view kTempPrefix = ".ezg-";
inline constexpr std::string_view kRecordPrefix = ".ezj-";
inline constexpr std::size_t kOurNameLength = 11;

std::string freshName(std::string_view prefix);
bool isOurs(std::string_view name, std::string_view prefix);

// Tries fresh names until `attempt` takes one, or fails for another reason
// than a name already taken (errno then says which). The name, or "".
template <class Attempt>
std::string takeFreshName(std::string_view prefix, Attempt attempt) {
  constexpr int kNameTries = 100;
  for (int tries = 0; tries < kNameTries; ++tries) {
    std::string leaf = freshName(prefix);
    if (attempt(leaf)) return leaf;
    if (errno != EEXIST) break;
  }
  return {};
}
}  // namespace detail

}  // namespace ezg
