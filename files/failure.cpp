#include "files/failure.h"

#include <cerrno>

namespace ezg {

Failure Failure::fromErrno(int err, std::string detail) {
  FailureCode code = FailureCode::Other;
  switch (err) {
    case ENOENT:
    case ENOTDIR: code = FailureCode::Missing; break;
    case EISDIR: code = FailureCode::FolderInTheWay; break;
    case EACCES:
    case EPERM: code = FailureCode::NoPermission; break;
    case EROFS: code = FailureCode::ReadOnlyFolder; break;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      code = FailureCode::DiskFull;
      break;
    case ENAMETOOLONG: code = FailureCode::NameTooLong; break;
    case ENOMEM:
    case EOVERFLOW: code = FailureCode::TooLarge; break;
    case EFBIG: code = FailureCode::FileSizeLimit; break;
    case ELOOP: code = FailureCode::LinkLoop; break;
    case EMFILE:
    case ENFILE: code = FailureCode::TooManyOpenFiles; break;
    case EBADF: code = FailureCode::StreamClosed; break;
    case ENXIO:
    case ENODEV: code = FailureCode::NotPlainFile; break;
    default: break;
  }
  return {code, err, std::move(detail)};
}

}  // namespace ezg
