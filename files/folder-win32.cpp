#include <windows.h>

#include <filesystem>

#include "files/folder.h"
#include "files/utf8_path.h"

namespace ezg {

Status listPlainFiles(const std::string& folder, std::vector<std::string>& names, Hidden hidden) {
  std::wstring pattern = wideOf(folder);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW entry{};
  HANDLE h = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = ::GetLastError();
    // Only a drive's root can be a folder with no entry at all.
    if (err == ERROR_FILE_NOT_FOUND && !checkFolder(folder)) {
      names.clear();
      return {};
    }
    if (Status notFolder = checkFolder(folder)) return notFolder;
    return Failure::fromWindowsError(err, folder);
  }
  const DWORD notPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE |
                         (hidden == Hidden::Left ? FILE_ATTRIBUTE_HIDDEN : 0);
  std::vector<std::string> found;
  do {
    if (!(entry.dwFileAttributes & notPlain)) found.push_back(utf8Of(std::wstring_view(entry.cFileName)));
  } while (::FindNextFileW(h, &entry));
  const DWORD err = ::GetLastError();
  ::FindClose(h);
  if (err != ERROR_NO_MORE_FILES) return Failure::fromWindowsError(err, folder);
  names = std::move(found);
  return {};
}

// GetFinalPathNameByHandleW names a file with the long-name prefix, which
// the names the user gives never have.
std::filesystem::path followedName(const std::filesystem::path& name) {
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(name, ec).lexically_normal();
  if (ec) return name.lexically_normal();
  HANDLE h = ::CreateFileW(full.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (!full.has_relative_path() || full.parent_path() == full) return full;
    return followedName(full.parent_path()) / full.filename();
  }
  std::wstring real(MAX_PATH, L'\0');
  DWORD n;
  while ((n = ::GetFinalPathNameByHandleW(h, real.data(), static_cast<DWORD>(real.size()), 0)) >= real.size())
    real.resize(n);
  ::CloseHandle(h);
  if (n == 0) return full;
  real.resize(n);
  std::wstring_view shown = real;
  if (shown.starts_with(LR"(\\?\UNC\)")) return LR"(\\)" + std::wstring(shown.substr(8));
  if (shown.starts_with(LR"(\\?\)")) shown.remove_prefix(4);
  return std::wstring(shown);
}

namespace {

std::filesystem::path upperCased(const std::filesystem::path& name) {
  std::wstring key = name.native();
  ::CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
  return key;
}

}  // namespace

std::filesystem::path sameFileKey(const std::filesystem::path& name) { return upperCased(followedName(name)); }

std::filesystem::path sameNameKey(const std::filesystem::path& name) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(name, ec).lexically_normal();
  if (ec || !full.has_filename()) return sameFileKey(name);
  return upperCased(followedName(full.parent_path()) / full.filename());
}

Status checkFolder(const std::string& folder) {
  const DWORD attributes = ::GetFileAttributesW(wideOf(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failure::fromWindowsError(::GetLastError(), folder);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Failure::fromWindowsError(ERROR_DIRECTORY, folder);
  return {};
}

std::string executableFolder() {
  std::wstring self(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (n == 0) return {};
    if (n < self.size()) {
      self.resize(n);
      break;
    }
    self.resize(self.size() * 2);
  }
  return utf8Of(std::filesystem::path(self).parent_path());
}

std::tm localTimeNow() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  ::localtime_s(&tm, &t);
  return tm;
}

}  // namespace ezg
