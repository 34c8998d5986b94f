#include "midi/read_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>

namespace ezg {
namespace {

// Closes the descriptor on every way out.
struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

bool sameMoment(const struct stat& a, const struct stat& b) {
  return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Fresh memory costs a page fault for every 4 KiB it is first touched, and
// on a virtual machine that fault is dear: a large input asks for huge pages
// over the part of its buffer that holds whole ones. Only advice.
void adviseHugePages(std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kHuge = std::size_t{2} << 20;
  const auto at = reinterpret_cast<std::uintptr_t>(data);
  const std::size_t lead = (kHuge - at % kHuge) % kHuge;  // up to the first whole huge page
  if (size < lead + kHuge) return;
  const std::size_t whole = (size - lead) / kHuge * kHuge;
  ::madvise(data + lead, whole, MADV_HUGEPAGE);
}

}  // namespace

Status readWholeFile(const std::filesystem::path& path, Bytes& bytes) {
  const std::string name = path.string();
  // O_NONBLOCK: opening a FIFO must not wait for a writer. The type is then
  // checked on what was opened, so a name swapped in between cannot fool it.
  Fd file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
  if (file.fd < 0) {
    if (errno == EISDIR) return Failure{FailureCode::NotPlainFile, EISDIR, name};
    return Failure::fromErrno(errno, name);
  }
  struct stat before {};
  if (::fstat(file.fd, &before) != 0) return Failure::fromErrno(errno, name);
  if (!S_ISREG(before.st_mode)) return Failure{FailureCode::NotPlainFile, 0, name};

  const auto size = static_cast<std::uint64_t>(before.st_size);
  Bytes read;
  try {
    if (size > read.max_size()) return Failure{FailureCode::TooLarge, 0, name};
    // One byte more than the size, so a file that grew is seen at once.
    read.reserve(static_cast<std::size_t>(size) + 1);
    adviseHugePages(read.data(), read.capacity());
    read.resize(static_cast<std::size_t>(size) + 1);
  } catch (const std::bad_alloc&) {
    return Failure{FailureCode::TooLarge, ENOMEM, name};
  }
  std::size_t got = 0;
  while (got < read.size()) {
    const ssize_t n = ::read(file.fd, read.data() + got, read.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failure::fromErrno(errno, name);
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  struct stat after {};
  if (got != size || ::fstat(file.fd, &after) != 0 || !sameMoment(before, after))
    return Failure{FailureCode::ChangedWhileRead, 0, name};
  read.resize(got);
  bytes = std::move(read);
  return {};
}

}  // namespace ezg
