#include <windows.h>
#include <algorithm>

#include "files/read_file.h"
#include "files/utf8_path.h"

namespace ezg {
namespace {

std::int64_t stampOf(const FILETIME& t) {
  return static_cast<std::int64_t>((std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime);
}

}  // namespace

void detail::adviseLargeBuffer(std::uint8_t*, std::size_t) {}

InputFile::~InputFile() { close(); }

void InputFile::close() {
  if (handle_) ::CloseHandle(handle_);
  handle_ = nullptr;
}

Status InputFile::open(const std::filesystem::path& path) {
  name_ = utf8Of(path);
  // Others may go on writing or even delete it: a change is noticed at the
  // end, and nobody is kept from their own file meanwhile.
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      return Failure{FailureCode::NotPlainFile, 0, name_};
    return Failure::fromWindowsError(err, name_);
  }
  handle_ = h;
  // A console, a pipe or a device such as NUL is not a file to read whole.
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(h) != FILE_TYPE_DISK) return Failure{FailureCode::NotPlainFile, 0, name_};
  if (!::GetFileInformationByHandle(h, &info)) return Failure::fromWindowsError(::GetLastError(), name_);
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Failure{FailureCode::NotPlainFile, 0, name_};
  size_ = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  writtenAt_ = stampOf(info.ftLastWriteTime);
  writtenAtNsec_ = 0;
  return {};
}

Status InputFile::readAt(std::uint64_t offset, std::span<std::uint8_t> into, std::size_t& got) const {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(into.size(), DWORD{1} << 30));
  DWORD n = 0;
  got = 0;
  if (!::ReadFile(handle_, into.data(), wanted, &n, &at)) {
    const DWORD err = ::GetLastError();
    if (err == ERROR_HANDLE_EOF) return {};
    return Failure::fromWindowsError(err, name_);
  }
  got = n;
  return {};
}

Status InputFile::checkUnchanged(std::uint64_t bytesRead) const {
  BY_HANDLE_FILE_INFORMATION info{};
  if (bytesRead != size_ || !::GetFileInformationByHandle(handle_, &info) ||
      ((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow) != size_ ||
      stampOf(info.ftLastWriteTime) != writtenAt_)
    return Failure{FailureCode::ChangedWhileRead, 0, name_};
  return {};
}

}  // namespace ezg
