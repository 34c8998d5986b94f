// A fresh folder per test, removed afterwards, with small file helpers.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "midi/bytes.h"
#include "files/utf8_path.h"

namespace ezg::testing {

inline std::string asString(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

class TempDir {
 public:
  TempDir() : TempDir(std::filesystem::temp_directory_path()) {}
  // In `base`, for tests that need that file system's features.
  explicit TempDir(const std::filesystem::path& base) {
#ifdef _WIN32
    // No mkdtemp here: a fresh name until one is free.
    for (unsigned tries = 0; path_.empty() && tries < 100; ++tries) {
      const auto candidate = base / ("ezgitar-test-" + std::to_string(std::random_device{}()));
      if (std::filesystem::create_directory(candidate)) path_ = candidate;
    }
    if (path_.empty()) throw std::runtime_error("cannot make a test folder");
#else
    std::string tmpl = (base / "ezgitar-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
#endif
  }
  ~TempDir() {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Tests may leave files and folders read-only; open them up before removing.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / pathOf(name); }
  void write(std::string_view name, std::string_view bytes) const {
    std::ofstream out(*this / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write test file");
  }
  void write(std::string_view name, const Bytes& bytes) const { write(name, asString(bytes)); }
  std::string read(std::string_view name) const {
    std::ifstream in(*this / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  bool exists(std::string_view name) const { return std::filesystem::exists(*this / name); }
  // The names in the folder (or in `sub`), sorted: what a run left behind.
  std::vector<std::string> names(std::string_view sub = "") const {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(*this / sub)) found.push_back(utf8Of(e.path().filename()));
    std::sort(found.begin(), found.end());
    return found;
  }
  // Every path below the folder, relative and sorted, links not followed.
  std::vector<std::string> tree() const {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::recursive_directory_iterator(path_))
      found.push_back(utf8Of(e.path().lexically_relative(path_)));
    std::sort(found.begin(), found.end());
    return found;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace ezg::testing
