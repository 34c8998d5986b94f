#include "cli/failure_text.h"

#include "cli/language.h"

namespace ezg::cli {
namespace {

// A switch, so the compiler names any code left without its text.
const char* reasonFor(FailureCode code) {
  switch (code) {
    case FailureCode::Missing: return N_("no such file");
    case FailureCode::NotPlainFile: return N_("not a plain file");
    case FailureCode::FolderInTheWay: return N_("a folder has that name");
    case FailureCode::ReadOnlyFile: return N_("the file is read-only");
    case FailureCode::ReadOnlyFolder: return N_("the folder is read-only");
    case FailureCode::NoPermission: return N_("permission denied");
    case FailureCode::DiskFull: return N_("no space left on the disk");
    case FailureCode::NameTooLong: return N_("name too long");
    case FailureCode::ChangedWhileRead: return N_("file changed while read");
    case FailureCode::TooLarge: return N_("too large for memory");
    case FailureCode::DanglingLink: return N_("the link points to nothing");
    case FailureCode::LinkLoop: return N_("symbolic links in a loop");
    case FailureCode::TooManyOpenFiles: return N_("too many open files");
    case FailureCode::FileSizeLimit: return N_("larger than the file size limit (ulimit -f)");
    case FailureCode::KeptFile: return N_("that name links to an input or to a file of the program itself");
    case FailureCode::SameFileTwice: return N_("both copies' names lead to one file");
    case FailureCode::StreamClosed: return N_("the stream is closed");
    case FailureCode::HeldOpen: return N_("another program has the file open");
    case FailureCode::Other: break;
  }
  return N_("unexpected system error");
}

}  // namespace

std::string describe(const Failure& failure) {
  std::string why = tr(reasonFor(failure.code));
  if (failure.code == FailureCode::Other && failure.sysError != 0) {
    // Our sentence, then the system's own name and words for the error.
    why += " (" + std::string(sysErrorName(failure.sysError));
    if (const std::string system = systemErrorText(failure.sysError); !system.empty()) why += ": " + system;
    why += ")";
  }
  return why;
}

}  // namespace ezg::cli
