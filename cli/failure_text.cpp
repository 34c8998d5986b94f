#include "cli/failure_text.h"

#include <string_view>


namespace ezg::cli {
namespace {

// A switch, so the compiler names any code left without its text.
std::string_view reasonFor(FailureCode code) {
  switch (code) {
    case FailureCode::Missing: return "no such file";
    case FailureCode::NotPlainFile: return "not a plain file";
    case FailureCode::FolderInTheWay: return "a folder has that name";
    case FailureCode::ReadOnlyFile: return "the file is read-only";
    case FailureCode::ReadOnlyFolder: return "the folder is read-only";
    case FailureCode::NoPermission: return "permission denied";
    case FailureCode::DiskFull: return "no space left on the disk";
    case FailureCode::NameTooLong: return "name too long";
    case FailureCode::ChangedWhileRead: return "file changed while read";
    case FailureCode::TooLarge: return "too large for memory";
    case FailureCode::DanglingLink: return "the link points to nothing";
    case FailureCode::LinkLoop: return "symbolic links in a loop";
    case FailureCode::TooManyOpenFiles: return "too many open files";
    case FailureCode::FileSizeLimit: return "larger than the file size limit (ulimit -f)";
    case FailureCode::KeptFile: return "that name links to an input or to a file of the program itself";
    case FailureCode::SameFileTwice: return "both copies' names lead to one file";
    case FailureCode::StreamClosed: return "the stream is closed";
    case FailureCode::HeldOpen: return "another program has the file open";
    case FailureCode::Other: break;
  }
  return "unexpected system error";
}

}  // namespace

std::string describe(const Failure& failure) {
  std::string why(reasonFor(failure.code));
  if (failure.code == FailureCode::Other && failure.sysError != 0)
    why += " (" + std::string(sysErrorName(failure.sysError)) + ")";
  return why;
}

}  // namespace ezg::cli
