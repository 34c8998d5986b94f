// The one way this program writes a file: into a temporary file in the
// target's folder, synced to disk, then renamed over the target, and the
// folder synced. A failure or a crash at any point leaves no partial file
// and the old file, if any, intact.
//
// Replacing a name happens under a lock on its folder, held across runs, so
// runs that write into one folder never mix their pairs, and the first
// replacement in a folder clears what a killed run left there: temporaries
// nobody holds, and a pair it was replacing put back as it was (see
// commitBoth).
//
// One interface, a source per system: safe_write-posix.cpp and
// safe_write-win32.cpp, with what they share in safe_write.cpp.
#pragma once

#ifndef _WIN32
#include <sys/types.h>

#include <csignal>
#endif
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "midi/sink.h"

namespace ezg {

class SafeFile final : public OutputFile {
 public:
  // A target that is a symbolic link replaces the file the link points to;
  // the link stays a link. A target that is not a plain file (a
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
  friend Status replacePair(SafeFile& a, SafeFile& b);

  void fail(Failure failure);
  void failErrno(int err);
  void discard();
  void discardHeld();
  void forgetTemporary();

  // What a replacement does, in each system's words. Each but the first
  // runs inside holdingFolders and sets the failure when it fails.
  static Status holdingFolders(SafeFile& a, SafeFile* b, const std::function<Status(bool oneFolder)>& work);
  bool readyToMove();                       // the temporary has a name and is closed for writing
  bool targetExists() const;
  std::string keepAside();                  // a second name for the old file, or ""
  std::string writeRecord(const std::string& text);  // on the disk; its name, or ""
  bool moveIn();                            // the temporary takes the target's name
  bool moveBack(const std::string& aside);  // the old file, or none, back under the name
  void removeLeaf(const std::string& leaf); // in the target's folder; "" is nothing
  bool syncFolder();

  std::string name_;        // as the caller gave it
  std::string leaf_;        // the file name that is replaced, in the folder
  std::string tempLeaf_;    // the temporary's name in the folder, once it has one
#ifdef _WIN32
  [[nodiscard]] bool resolveTarget(const std::filesystem::path& target);
  void openTemporary();
  void failWindows(unsigned long err);
  bool writeOut(const char* data, std::size_t size, std::uint64_t offset);
  bool flushBuffer();
  std::wstring at(std::string_view leaf) const;

  std::wstring folder_;      // the real file's own folder, where the temporary goes
  void* handle_ = nullptr;   // the temporary, while it is written
  std::string buffer_;       // written, not yet handed to the system
  std::uint64_t written_ = 0;  // handed to the system
  unsigned long targetVolume_ = 0;  // the file replaced, when there is one
  std::uint64_t targetIndex_ = 0;
#else
  [[nodiscard]] bool resolveTarget(const std::filesystem::path& target, mode_t& mode);
  void openTemporary(mode_t mode);

  std::string folder_;      // absolute, the real file's own folder
  int folderFd_ = -1;
  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  dev_t targetDev_ = 0;     // the file replaced, when there is one
  ino_t targetIno_ = 0;
#endif
  bool registered_ = false; // tempLeaf_ is in the list an ending run clears
  bool hadTarget_ = false;
  bool finished_ = false;
  bool committed_ = false;
  Status failure_;
};

// Writes all of `bytes` to `target` safely.
[[nodiscard]] Status writeFileSafely(const std::filesystem::path& target, std::string_view bytes);

// Both outputs replace their targets, or neither does: when the second
// cannot, the first target gets its old file back. Until both are in place
// the old first file is kept under a temporary name and a small record
// beside it says how to undo the pair, so that a run killed in
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


}  // namespace ezg
