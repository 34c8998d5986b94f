#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/platform.h"
#include "files/folder.h"
#include "files/midi_names.h"
#include "files/read_file.h"
#include "files/safe_write.h"
#include "files/utf8_path.h"

namespace fs = std::filesystem;

namespace ezg {
namespace {

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

// The program and its run log are never written through a link.
FsPlatform::FsPlatform() { keepProgramFromLinks(); }

LocalDateTime FsPlatform::now() {
  const std::tm tm = localTimeNow();
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

void FsPlatform::writeError(const std::string& text) {
  const std::string line = text + "\n";
  // One write, so the line is not mixed with another process's output.
  [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, line.data(), line.size());
}

bool FsPlatform::setCurrentFolder(const std::string& folder) {
  std::error_code ec;
  fs::current_path(pathOf(folder), ec);
  return !ec;
}

std::string FsPlatform::programFolder() { return executableFolder(); }

Status FsPlatform::scanFolder(const std::string& pattern, std::vector<std::string>& names) {
  std::vector<std::string> found;
  if (Status failed = listPlainFiles(".", found)) return failed;
  // The window asks for "*.mid" only; any other pattern matches nothing.
  names = pattern == kMidiPattern ? sortedMidiNames(std::move(found)) : std::vector<std::string>{};
  return {};
}

std::string FsPlatform::lookUpPlainFile(const std::string& name) {
  // A log the user hid (on Windows) counts as missing.
  std::vector<std::string> stored;
  if (listPlainFiles(".", stored, Hidden::Left)) return {};
  const std::string wanted = lower(name);
  std::string found;
  for (const std::string& candidate : stored) {
    if (lower(candidate) != wanted) continue;
    if (candidate == name) return candidate;
    if (found.empty()) found = candidate;
  }
  return found;
}

Status FsPlatform::readFile(const std::string& name, Bytes& bytes) { return readWholeFile(pathOf(name), bytes); }

std::unique_ptr<OutputFile> FsPlatform::createOutput(const std::string& name) {
  return std::make_unique<SafeFile>(pathOf(name));
}

void FsPlatform::keepFromLinks(const std::vector<std::string>& names) {
  std::vector<std::filesystem::path> paths;
  paths.reserve(names.size());
  for (const std::string& name : names) paths.push_back(pathOf(name));
  keepOnlyFromLinks(paths);
}

sound::Player& FsPlatform::player() {
  if (!player_) player_ = sound::makePlayer({});
  return *player_;
}

}  // namespace ezg
