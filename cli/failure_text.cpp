#include "cli/failure_text.h"

#include <array>
#include <string_view>

namespace ezg::cli {
namespace {

constexpr std::size_t kCodeCount = static_cast<std::size_t>(FailureCode::Other) + 1;

// Indexed by FailureCode, in its order.
constexpr std::array<std::string_view, kCodeCount> kReasons = {
    "no such file",                // Missing
    "not a plain file",            // NotPlainFile
    "a folder has that name",      // FolderInTheWay
    "the file is read-only",       // ReadOnlyFile
    "the folder is read-only",     // ReadOnlyFolder
    "permission denied",           // NoPermission
    "no space left on the disk",   // DiskFull
    "name too long",               // NameTooLong
    "file changed while read",     // ChangedWhileRead
    "too large for memory",        // TooLarge
    "the link points to nothing",  // DanglingLink
    "unexpected system error",     // Other
};

}  // namespace

std::string describe(const Failure& failure) {
  std::string why(kReasons[static_cast<std::size_t>(failure.code)]);
  if (failure.code == FailureCode::Other && failure.sysError != 0)
    why += " (" + std::string(sysErrorName(failure.sysError)) + ")";
  return why;
}

}  // namespace ezg::cli
