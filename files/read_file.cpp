#include "files/read_file.h"

#include <cerrno>
#include <new>

namespace ezg {

Status readWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes) {
  InputFile file;
  if (Status failed = file.open(path)) return failed;
  const std::uint64_t size = file.size();
  std::vector<std::uint8_t> read;
  try {
    if (size >= read.max_size()) return Failure{FailureCode::TooLarge, 0, file.name()};
    // One byte more than the size, so a file that grew is seen at once.
    read.reserve(static_cast<std::size_t>(size) + 1);
    detail::adviseLargeBuffer(read.data(), read.capacity());
    read.resize(static_cast<std::size_t>(size) + 1);
  } catch (const std::bad_alloc&) {
    return Failure{FailureCode::TooLarge, ENOMEM, file.name()};
  }
  std::size_t total = 0;
  while (total < read.size()) {
    std::size_t got = 0;
    if (Status failed = file.readAt(total, std::span(read).subspan(total), got)) return failed;
    if (got == 0) break;
    total += got;
  }
  if (Status failed = file.checkUnchanged(total)) return failed;
  read.resize(total);
  bytes = std::move(read);
  return {};
}

}  // namespace ezg
