// A fresh folder per test, removed afterwards, with small file helpers.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "midi/bytes.h"

namespace ezg::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  void write(std::string_view name, std::string_view bytes) const;
  void write(std::string_view name, const Bytes& bytes) const;
  std::string read(std::string_view name) const;
  bool exists(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

std::string asString(const Bytes& bytes);

}  // namespace ezg::testing
