// The one failure shape of the core and the platform: what went wrong as a
// code the program branches on, plus the system's error number and a detail
// for the person. Texts a person reads are made at the edges (the window in
// Turkish, the command line in the user's language) from the code; a
// failure carries no sentence.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ezg {

enum class FailureCode {
  Missing,           // no file of that name
  NotPlainFile,      // a FIFO, socket, device or folder where a plain file was wanted
  FolderInTheWay,    // a folder has the name a file is to be written under
  ReadOnlyFile,      // the file to replace is read-only
  ReadOnlyFolder,    // the folder (or its file system) takes no new files
  NoPermission,      // the system refused access
  DiskFull,          // no room left on the disk or in the quota
  NameTooLong,       // the file system does not take a name that long
  ChangedWhileRead,  // the file grew or shrank while it was read
  TooLarge,          // it cannot be held in memory
  DanglingLink,      // a symbolic link that points to nothing
  LinkLoop,          // symbolic links that lead round in a circle
  TooManyOpenFiles,  // the process or the system has no file descriptor left
  FileSizeLimit,     // larger than the file size limit the run was given
  KeptFile,          // an output name leads through a link to an input or to the program's own file
  SameFileTwice,     // the two outputs of a pair lead to one file
  StreamClosed,      // standard output or error was closed before the run
  HeldOpen,          // another program holds the file open and shares it not
  Other,             // anything else: the error number says what
};

struct Failure {
  FailureCode code = FailureCode::Other;
  int sysError = 0;    // errno, or 0 when the failure is the program's own finding
  std::string detail;  // the file it concerns, as the caller named it

  // The code that fits an errno value from a file operation.
  static Failure fromErrno(int err, std::string detail = {});
#ifdef _WIN32
  // The same for a Windows error code (GetLastError); sysError is then the
  // errno value nearest to it.
  static Failure fromWindowsError(unsigned long err, std::string detail = {});
#endif

  bool operator==(const Failure&) const = default;
};

// What every file operation returns: nothing when it worked, else why not.
using Status = std::optional<Failure>;

// The errno value's own symbolic name ("EIO"), never a locale's sentence:
// the only system wording an edge adds, and only for FailureCode::Other.
std::string_view sysErrorName(int err);

}  // namespace ezg
