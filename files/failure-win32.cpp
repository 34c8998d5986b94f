#include <windows.h>

#include <cerrno>

#include "files/failure.h"

namespace ezg {

Failure Failure::fromWindowsError(unsigned long err, std::string detail) {
  switch (err) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: return {FailureCode::HeldOpen, EBUSY, std::move(detail)};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return fromErrno(ENOENT, std::move(detail));
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD: return fromErrno(EACCES, std::move(detail));
    case ERROR_WRITE_PROTECT: return fromErrno(EROFS, std::move(detail));
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return fromErrno(ENOSPC, std::move(detail));
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW: return fromErrno(ENAMETOOLONG, std::move(detail));
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return fromErrno(ENOMEM, std::move(detail));
    case ERROR_TOO_MANY_OPEN_FILES: return fromErrno(EMFILE, std::move(detail));
    case ERROR_INVALID_HANDLE: return fromErrno(EBADF, std::move(detail));
    case ERROR_DIRECTORY: return fromErrno(ENOTDIR, std::move(detail));
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return fromErrno(EEXIST, std::move(detail));
    default: return fromErrno(EIO, std::move(detail));
  }
}

// The C library here has no names for its error numbers: the ones a file
// operation gives, by hand.
std::string_view sysErrorName(int err) {
  switch (err) {
    case 0: return {};
    case EPERM: return "EPERM";
    case ENOENT: return "ENOENT";
    case EIO: return "EIO";
    case EBADF: return "EBADF";
    case ENOMEM: return "ENOMEM";
    case EACCES: return "EACCES";
    case EBUSY: return "EBUSY";
    case EEXIST: return "EEXIST";
    case ENOTDIR: return "ENOTDIR";
    case EISDIR: return "EISDIR";
    case EINVAL: return "EINVAL";
    case EMFILE: return "EMFILE";
    case ENFILE: return "ENFILE";
    case EFBIG: return "EFBIG";
    case ENOSPC: return "ENOSPC";
    case EROFS: return "EROFS";
    case EPIPE: return "EPIPE";
    case ENAMETOOLONG: return "ENAMETOOLONG";
    default: return "E?";
  }
}

}  // namespace ezg
