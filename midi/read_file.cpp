#include "midi/read_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace ezg {

ReadResult readWholeFile(const std::filesystem::path& path) {
  ReadResult r;
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) {
    r.error = "no such file";
    return r;
  }
  if (!std::filesystem::is_regular_file(status)) {
    r.error = "not a regular file";
    return r;
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    r.error = std::generic_category().message(errno);
    return r;
  }
  Bytes bytes;
  // The size may change between stat and read; read until EOF regardless.
  auto size = std::filesystem::file_size(path, ec);
  if (!ec) bytes.reserve(static_cast<std::size_t>(size));
  std::uint8_t chunk[1 << 16];
  for (;;) {
    std::size_t got = std::fread(chunk, 1, sizeof chunk, f);
    bytes.insert(bytes.end(), chunk, chunk + got);
    if (got < sizeof chunk) break;
  }
  bool bad = std::ferror(f) != 0;
  int err = errno;
  std::fclose(f);
  if (bad) {
    r.error = std::generic_category().message(err);
    return r;
  }
  r.bytes = std::move(bytes);
  return r;
}

MappedFile::~MappedFile() {
  if (data_ && size_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
}

bool MappedFile::open(const std::filesystem::path& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = errno == ENOENT ? "no such file" : std::generic_category().message(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = "not a regular file";
    ::close(fd);
    return false;
  }
  size_ = static_cast<std::size_t>(st.st_size);
  if (size_ > 0) {
    void* p = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
      error = std::generic_category().message(errno);
      size_ = 0;
      ::close(fd);
      return false;
    }
    ::madvise(p, size_, MADV_SEQUENTIAL);
    data_ = static_cast<const std::uint8_t*>(p);
  }
  ::close(fd);
  return true;
}

}  // namespace ezg
