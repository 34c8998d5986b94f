#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "files/folder.h"

namespace ezg {
namespace {

// Opened as a folder or not at all: no stat-then-open, and a FIFO is
// neither waited on nor taken for a folder.
int openFolder(const std::string& folder) {
  return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
}

}  // namespace

Status listPlainFiles(const std::string& folder, std::vector<std::string>& names, Hidden) {
  const int fd = openFolder(folder);
  if (fd < 0) return Failure::fromErrno(errno, folder);
  DIR* d = ::fdopendir(fd);
  if (!d) {
    const int err = errno;
    ::close(fd);
    return Failure::fromErrno(err, folder);
  }
  std::vector<std::string> found;
  errno = 0;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (e->d_type == DT_REG) {
      found.push_back(name);
    } else if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
      struct stat st {};
      if (::fstatat(::dirfd(d), name.c_str(), &st, 0) == 0 && S_ISREG(st.st_mode)) found.push_back(name);
    }
    errno = 0;
  }
  const int err = errno;
  ::closedir(d);
  if (err != 0) return Failure::fromErrno(err, folder);
  names = std::move(found);
  return {};
}

std::filesystem::path followedName(const std::filesystem::path& name) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(name, ec);
  if (ec) return name.lexically_normal();
  std::filesystem::path real = std::filesystem::weakly_canonical(full, ec);
  return ec ? full.lexically_normal() : real;
}

std::filesystem::path sameFileKey(const std::filesystem::path& name) { return followedName(name); }

std::filesystem::path sameNameKey(const std::filesystem::path& name) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(name, ec).lexically_normal();
  if (ec || !full.has_filename()) return sameFileKey(name);
  return followedName(full.parent_path()) / full.filename();
}

Status checkFolder(const std::string& folder) {
  const int fd = openFolder(folder);
  if (fd < 0) return Failure::fromErrno(errno, folder);
  ::close(fd);
  return {};
}

std::string executableFolder() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.parent_path().string();
}

std::tm localTimeNow() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&t, &tm);
  return tm;
}

}  // namespace ezg
