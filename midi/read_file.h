// Reading a whole input file, with a plain-words reason when it cannot be.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "midi/bytes.h"

namespace ezg {

struct ReadResult {
  std::optional<Bytes> bytes;  // empty optional: could not read
  std::string error;           // why, in plain words
};

// Reads a regular file whole. A folder, a missing file or a read error gives
// no bytes and a reason.
ReadResult readWholeFile(const std::filesystem::path& path);

}  // namespace ezg

namespace ezg {

// A whole input file mapped read-only into memory: no copy of it is made,
// and its pages come from the file system's cache as they are read.
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // False with a plain-words reason when the file cannot be mapped (missing,
  // not a regular file, unreadable). An empty file maps to no bytes.
  bool open(const std::filesystem::path& path, std::string& error);
  std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace ezg
