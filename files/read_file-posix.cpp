#include "files/read_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "files/utf8_path.h"

namespace ezg {

// Fresh memory costs a page fault for every 4 KiB it is first touched, and
// on a virtual machine that fault is dear: a large input asks for huge pages
// over the part of its buffer that holds whole ones. Only advice.
void detail::adviseLargeBuffer(std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kHuge = std::size_t{2} << 20;
  const auto at = reinterpret_cast<std::uintptr_t>(data);
  const std::size_t lead = (kHuge - at % kHuge) % kHuge;  // up to the first whole huge page
  if (size < lead + kHuge) return;
  const std::size_t whole = (size - lead) / kHuge * kHuge;
  ::madvise(data + lead, whole, MADV_HUGEPAGE);
}

InputFile::~InputFile() { close(); }

void InputFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

Status InputFile::open(const std::filesystem::path& path) {
  name_ = utf8Of(path);
  // O_NONBLOCK: opening a FIFO must not wait for a writer. The type is then
  // checked on what was opened, so a name swapped in between cannot fool it.
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0) {
    if (errno == EISDIR) return Failure{FailureCode::NotPlainFile, EISDIR, name_};
    return Failure::fromErrno(errno, name_);
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return Failure::fromErrno(errno, name_);
  if (!S_ISREG(st.st_mode)) return Failure{FailureCode::NotPlainFile, 0, name_};
  size_ = static_cast<std::uint64_t>(st.st_size);
  writtenAt_ = st.st_mtim.tv_sec;
  writtenAtNsec_ = st.st_mtim.tv_nsec;
  return {};
}

Status InputFile::readAt(std::uint64_t offset, std::span<std::uint8_t> into, std::size_t& got) const {
  for (;;) {
    const ssize_t n = ::pread(fd_, into.data(), into.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failure::fromErrno(errno, name_);
    got = static_cast<std::size_t>(n);
    return {};
  }
}

Status InputFile::checkUnchanged(std::uint64_t bytesRead) const {
  struct stat st {};
  if (bytesRead != size_ || ::fstat(fd_, &st) != 0 || static_cast<std::uint64_t>(st.st_size) != size_ ||
      st.st_mtim.tv_sec != writtenAt_ || st.st_mtim.tv_nsec != writtenAtNsec_)
    return Failure{FailureCode::ChangedWhileRead, 0, name_};
  return {};
}

}  // namespace ezg
