// The one way this program writes a file: into a temporary file in the
// target's folder, synced to disk, then renamed over the target, and the
// folder synced. A failure at any point leaves no partial file and the old
// file, if any, intact; a crash or a power cut shows the old file or the
// new one, whole.
//
// Nothing is read back from a folder: what another run, or anyone else,
// left there is never acted on. The temporary has no name while it is
// written where the system allows it (an O_TMPFILE file on Linux, a file
// marked for deletion on Windows), so a killed run leaves nothing; it takes
// a name, ".ezgitar-" and six characters and ".tmp", only for the moment
// of its rename, or for its whole life where the file system has no such
// files.
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
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/sink.h"

namespace ezg {

// What makes a file itself, whatever its names: device and inode, or
// volume and file index on Windows.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t index = 0;
  bool operator==(const FileId&) const = default;
  bool operator<(const FileId& o) const { return device != o.device ? device < o.device : index < o.index; }
};

// The file `name` leads to, links followed; nothing when there is none.
std::optional<FileId> fileIdOf(const std::filesystem::path& name);

// A file no output may reach through a link: this run's inputs, and the
// program's own files. An output whose name leads there is refused.
void keepFromLinks(const std::filesystem::path& name);

// The program itself, and its run log and companion program beside it.
void keepProgramFromLinks();

// For a program that runs many times, as the window does: from now on the
// files kept are `names` and the program's own. Those kept before are let
// go, since a file deleted since may have passed its identity to a new one.
void keepOnlyFromLinks(const std::vector<std::filesystem::path>& names);

class SafeFile final : public OutputFile {
 public:
  // A target that is a symbolic link replaces the file the link leads to;
  // the link stays a link. A link is followed only where the system itself
  // would follow it for this user (not another user's link in a shared,
  // sticky folder), and never to a file kept from links. A target that is
  // not a plain file (a device, a FIFO, a folder), a read-only one and, on
  // Windows, one that another program holds open are refused before
  // anything is written.
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
  SafeFile* file() override { return this; }

 private:
  friend Status replacePair(SafeFile& a, SafeFile& b);
  friend void finishTogether(std::span<OutputFile* const> outputs);

  void fail(Failure failure);
  void failErrno(int err);
  void refuseKeptTarget();
  void discard();
  void discardHeld();
  void forgetTemporary();

  // Our names in a folder: ".ezgitar-", six characters, ".tmp". Fixed
  // length, so that any name the folder takes can be replaced; taken only
  // by a call that fails on a name in use (O_EXCL, CREATE_NEW, a new link),
  // so a name taken is never ours. `attempt` sets errno to EEXIST when the
  // name was in use. The name, or "".
  static std::string freshLeaf();
  template <class Attempt>
  static std::string takeFreshName(Attempt attempt) {
    for (int tries = 0; tries < 100; ++tries) {
      std::string leaf = freshLeaf();
      if (attempt(leaf)) return leaf;
      if (errno != EEXIST) break;
    }
    return {};
  }

  // The steps of a replacement, in each system's words. All but the first
  // run inside `guarded`, which keeps the run from ending half way; the
  // ones that can fail set the failure.
  static Status guarded(const std::function<Status()>& work);
  bool readyToMove();                        // the temporary has a name, and is no longer written
  std::string keepAside();                   // a second name of ours for the old file, or ""
  bool moveIn();                             // the temporary takes the target's name
  void moveBack(const std::string& aside);   // the old file, or none, back under the name
  void removeLeaf(const std::string& leaf);  // one of our names in the target's folder; "" is nothing
  bool syncFolder();

  std::string name_;       // as the caller gave it
  std::string leaf_;       // the file name that is replaced, in the folder
  std::string tempLeaf_;   // the temporary's name in the folder, once it has one
  FileId target_;          // the file replaced, when there is one
  bool exists_ = false;    // there is a file to replace
  bool followed_ = false;  // the name led to it through a link
#ifdef _WIN32
  [[nodiscard]] bool resolveTarget(const std::filesystem::path& target);
  void openTemporary();
  void failWindows(unsigned long err);
  bool writeOut(const char* data, std::size_t size, std::uint64_t offset);
  bool flushBuffer();
  std::wstring at(std::string_view leaf) const;

  std::wstring folder_;        // the real file's own folder, where the temporary goes
  void* handle_ = nullptr;     // the temporary, while it is written
  bool pending_ = false;       // it goes by itself when its handle closes
  std::string buffer_;         // written, not yet handed to the system
  std::uint64_t written_ = 0;  // handed to the system
#else
  [[nodiscard]] bool resolveTarget(const std::filesystem::path& target, mode_t& mode);
  void openTemporary(mode_t mode);

  std::string folder_;  // absolute, the real file's own folder
  int folderFd_ = -1;
  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;
#endif
  bool registered_ = false;  // tempLeaf_ is in the list an ending run removes
  bool finished_ = false;
  bool committed_ = false;
  Status failure_;
};

// Writes all of `bytes` to `target` safely.
[[nodiscard]] Status writeFileSafely(const std::filesystem::path& target, std::string_view bytes);

// For the programs the build and the tests run to make files: writes `bytes`
// to `path` safely, or says "<program>: <path>: cannot write (<errno name>)"
// on standard error and returns false.
[[nodiscard]] bool writeOrSay(const char* program, const std::filesystem::path& path, std::string_view bytes);

// Both outputs replace their targets, or neither does: when the second
// cannot, the first target gets its old file back; two names that lead to
// one file are refused. The run cannot be ended by a signal or Ctrl+C
// between the two replacements; only a kill from outside or a power cut in
// those microseconds can leave one copy new and the other old, each whole.
// The failure's detail names the output that failed.
[[nodiscard]] Status commitBoth(OutputFile& first, OutputFile& second);

// For a batch: finishes many outputs as finish() does each, in fewer syncs.
// Where the file system's own sync makes every written file last (ext4,
// XFS, Btrfs), it is synced once for all; elsewhere each file is synced. A
// failure of that one sync is a failure of each file it covered.
void finishTogether(std::span<OutputFile* const> outputs);

// For a batch of many outputs: from here on a replacement leaves its
// folder's sync to syncDeferredFolders(), so that many pairs written into
// one folder cost one sync of it, not one each. Files are still synced
// before they take their names; a run that ends early syncs the folders
// first.
void deferFolderSyncs();
[[nodiscard]] Status syncDeferredFolders();

// For a run being ended (a signal, Ctrl+C, the console closed), from a
// thread that waited for it: waits until no replacement is under way,
// makes the names already replaced last, removes this run's temporaries
// that have a name, and returns without letting any later replacement
// start.
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
