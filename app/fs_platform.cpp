#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "app/platform.h"
#include "midi/midi_names.h"
#include "midi/read_file.h"
#include "midi/safe_write.h"

namespace fs = std::filesystem;

namespace ezg {
namespace {

bool isPlainFile(const fs::directory_entry& e) {
  std::error_code ec;
  return e.is_regular_file(ec) && !ec;
}

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

LocalDateTime FsPlatform::now() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

void FsPlatform::writeError(const std::string& text) {
  const std::string line = text + "\n";
  // One write, so the line is not mixed with another process's output.
  [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, line.data(), line.size());
}

bool FsPlatform::setCurrentFolder(const std::string& folder) {
  std::error_code ec;
  fs::current_path(folder, ec);
  return !ec;
}

Status FsPlatform::scanFolder(const std::string& pattern, std::vector<std::string>& names) {
  // Only "*.ext" patterns are needed; anything else matches nothing.
  std::string ext = pattern.starts_with("*") ? pattern.substr(1) : std::string("\0", 1);
  std::vector<std::string> found;
  std::error_code ec;
  for (fs::directory_iterator it(".", ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.ends_with(ext) && isPlainFile(*it)) found.push_back(std::move(name));
  }
  if (ec) return Failure::fromErrno(ec.value(), ".");
  if (ext == ".mid") {
    names = sortedMidiNames(std::move(found));
  } else {
    std::sort(found.begin(), found.end());
    names = std::move(found);
  }
  return {};
}

std::string FsPlatform::lookUpPlainFile(const std::string& name) {
  std::string wanted = lower(name);
  std::string found;
  std::error_code ec;
  for (fs::directory_iterator it(".", ec), end; !ec && it != end; it.increment(ec)) {
    std::string stored = it->path().filename().string();
    if (lower(stored) != wanted || !isPlainFile(*it)) continue;
    if (stored == name) return stored;
    if (found.empty()) found = stored;
  }
  return found;
}

Status FsPlatform::readFile(const std::string& name, Bytes& bytes) { return readWholeFile(name, bytes); }

std::unique_ptr<OutputFile> FsPlatform::createOutput(const std::string& name) {
  return std::make_unique<SafeFile>(fs::path(name));
}

}  // namespace ezg
