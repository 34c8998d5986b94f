// Reading an input file safely: opened without blocking, checked to be a
// plain file once open, and refused when it changed while it was read or
// cannot be held.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "files/failure.h"

namespace ezg {

// An input read from start to end. A FIFO, socket, device or folder is
// refused by open() at once, without waiting on it; a link is followed.
// One interface, a source per system: read_file-posix.cpp and
// read_file-win32.cpp.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  [[nodiscard]] Status open(const std::filesystem::path& path);
  // The size when it was opened.
  std::uint64_t size() const { return size_; }
  const std::string& name() const { return name_; }
  // The bytes from `offset` on, into the start of `into`; `got` is 0 at
  // the end. Readers at their own offsets may share one open file.
  [[nodiscard]] Status readAt(std::uint64_t offset, std::span<std::uint8_t> into, std::size_t& got) const;
  // Once read to the end, `bytesRead` in all: refused when the file was not
  // what open() saw, the same size and modification time all along.
  [[nodiscard]] Status checkUnchanged(std::uint64_t bytesRead) const;
  // Lets the file go before its reader does: a descriptor fewer for what
  // follows.
  void close();

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
  std::string name_;
  std::uint64_t size_ = 0;
  // When it was last written, as open() saw it: seconds and nanoseconds, or
  // on Windows the whole time stamp in 100-nanosecond ticks.
  std::int64_t writtenAt_ = 0;
  std::int64_t writtenAtNsec_ = 0;
};

// Reads a plain file whole into `bytes`. `bytes` is left as it was on
// failure.
[[nodiscard]] Status readWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes);

namespace detail {
// Lets the system know a large buffer is about to be filled; only advice.
void adviseLargeBuffer(std::uint8_t* data, std::size_t size);
}  // namespace detail

}  // namespace ezg
