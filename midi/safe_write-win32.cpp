#include <windows.h>

#include <list>
#include <mutex>
#include <optional>

#include "midi/safe_write.h"
#include "midi/utf8_path.h"

namespace ezg {
namespace fs = std::filesystem;
using namespace detail;
namespace {

constexpr std::size_t kBufferSize = 1 << 16;

// The temporaries a console close must remove, and the lock that keeps it
// from finding a replacement half done: the close handler runs on a thread
// of its own and takes the same lock.
std::mutex gMutex;
std::list<std::wstring> gNamed;

struct FileId {
  unsigned long volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileId&) const = default;
};

std::optional<FileId> idOf(HANDLE h) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(h, &info)) return std::nullopt;
  return FileId{info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

// Opened only to be looked at; asking for DELETE finds out whether another
// program holds it open without letting it be replaced.
HANDLE openToLookAt(const std::wstring& name, DWORD access) {
  return ::CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

std::wstring inFolder(const std::wstring& folder, std::string_view leaf) { return folder + L'\\' + wideOf(leaf); }

// A second name for the old file, to put it back by: a hard link where the
// file system has them, else a copy.
std::wstring keepAside(const std::wstring& target, const std::wstring& folder) {
  std::wstring aside;
  takeFreshName(kTempPrefix, [&](const std::string& leaf) {
    aside = inFolder(folder, leaf);
    if (::CreateHardLinkW(aside.c_str(), target.c_str(), nullptr) ||
        ::CopyFileW(target.c_str(), aside.c_str(), TRUE))
      return true;
    errno = ::GetLastError() == ERROR_FILE_EXISTS || ::GetLastError() == ERROR_ALREADY_EXISTS ? EEXIST : 0;
    aside.clear();
    return false;
  });
  return aside;
}

bool moveOver(const std::wstring& from, const std::wstring& to) {
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

}  // namespace

void stopWritingAndRemoveTemporaries() {
  gMutex.lock();  // kept: the run is ending
  // Our own handles share deletion, so each goes as soon as it is closed.
  for (const std::wstring& name : gNamed) ::DeleteFileW(name.c_str());
}

SafeFile::SafeFile(const std::filesystem::path& target) : name_(utf8Of(target)) {
  if (resolveTarget(target)) openTemporary();
}

// Whether the target may be replaced: not a folder, a device, a read-only
// file or one another program holds open.
bool SafeFile::resolveTarget(const std::filesystem::path& target) {
  std::error_code ec;
  const fs::path full = fs::absolute(target, ec);
  if (ec) {
    failErrno(ec.value());
    return false;
  }
  target_ = full.native();
  folder_ = full.parent_path().native();
  const DWORD attributes = ::GetFileAttributesW(target_.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD err = ::GetLastError();
    if (err == ERROR_FILE_NOT_FOUND) return true;
    failWindows(err);
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    fail({FailureCode::FolderInTheWay, 0, {}});
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    fail({FailureCode::ReadOnlyFile, 0, {}});
    return false;
  }
  HANDLE h = openToLookAt(target_, DELETE | FILE_READ_ATTRIBUTES);
  if (h == INVALID_HANDLE_VALUE) {
    failWindows(::GetLastError());
    return false;
  }
  const bool plain = ::GetFileType(h) == FILE_TYPE_DISK;
  const std::optional<FileId> id = idOf(h);
  ::CloseHandle(h);
  if (!plain) {
    fail({FailureCode::NotPlainFile, 0, {}});
    return false;
  }
  hadTarget_ = id.has_value();
  if (id) {
    targetVolume_ = id->volume;
    targetIndex_ = id->index;
  }
  return true;
}

void SafeFile::openTemporary() {
  std::lock_guard lock(gMutex);
  DWORD err = 0;
  HANDLE h = INVALID_HANDLE_VALUE;
  const std::string leaf = takeFreshName(kTempPrefix, [&](const std::string& name) {
    // Deletion shared, so that a console close can remove it while it is
    // being written.
    h = ::CreateFileW(inFolder(folder_, name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) return true;
    err = ::GetLastError();
    errno = err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS ? EEXIST : 0;
    return false;
  });
  if (leaf.empty()) {
    failWindows(err);
    return;
  }
  handle_ = h;
  temp_ = inFolder(folder_, leaf);
  gNamed.push_back(temp_);
  registered_ = true;
  buffer_.reserve(kBufferSize);
}

SafeFile::~SafeFile() { discard(); }

void SafeFile::failWindows(unsigned long err) { fail(Failure::fromWindowsError(err)); }

bool SafeFile::writeOut(const char* data, std::size_t size, std::uint64_t offset) {
  while (size > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, DWORD{1} << 30));
    if (!::WriteFile(handle_, data, chunk, &n, &at)) {
      failWindows(::GetLastError());
      return false;
    }
    data += n;
    size -= n;
    offset += n;
  }
  return true;
}

bool SafeFile::flushBuffer() {
  if (buffer_.empty()) return true;
  const bool done = writeOut(buffer_.data(), buffer_.size(), written_);
  written_ += buffer_.size();
  buffer_.clear();
  return done;
}

void SafeFile::write(std::string_view bytes) {
  if (failure_ || finished_ || bytes.empty() || !handle_) return;
  if (buffer_.size() + bytes.size() > kBufferSize && !flushBuffer()) return;
  if (bytes.size() >= kBufferSize) {
    if (writeOut(bytes.data(), bytes.size(), written_)) written_ += bytes.size();
    return;
  }
  buffer_.append(bytes);
}

void SafeFile::patch(std::uint64_t offset, std::uint8_t value) {
  if (failure_ || finished_ || !handle_) return;
  if (offset >= written_) {
    if (offset - written_ < buffer_.size()) buffer_[offset - written_] = static_cast<char>(value);
    return;
  }
  const char byte = static_cast<char>(value);
  writeOut(&byte, 1, offset);
}

bool SafeFile::replaces(const std::string& other) const {
  if (!hadTarget_) return false;
  HANDLE h = openToLookAt(wideOf(other), FILE_READ_ATTRIBUTES);
  if (h == INVALID_HANDLE_VALUE) return false;
  const std::optional<FileId> id = idOf(h);
  ::CloseHandle(h);
  return id && *id == FileId{targetVolume_, targetIndex_};
}

void SafeFile::startWriteback() {
  if (failure_ || finished_ || !handle_) return;
  flushBuffer();
}

Status SafeFile::finish() {
  if (finished_) return failure_;
  finished_ = true;
  if (!handle_) return failure_;
  // On the disk before it gets the name: a crash after the replacement must
  // not show an empty or partial file under it.
  if (!failure_ && flushBuffer() && !::FlushFileBuffers(handle_)) failWindows(::GetLastError());
  return failure_;
}

// Under the lock: the temporary took the target's name, or is gone.
void SafeFile::forgetTemporary() {
  if (registered_) gNamed.remove(temp_);
  registered_ = false;
  temp_.clear();
}

// Under the lock: closes the temporary and removes it if it is still there.
void SafeFile::discardHeld() {
  if (handle_) {
    ::CloseHandle(handle_);
    handle_ = nullptr;
  }
  if (!temp_.empty()) {
    ::DeleteFileW(temp_.c_str());
    forgetTemporary();
  }
}

void SafeFile::discard() {
  if (!handle_ && temp_.empty()) return;
  std::lock_guard lock(gMutex);
  discardHeld();
}

Status SafeFile::commit() {
  if (committed_) return failure_;
  if (finish()) {
    discard();
    return failure_;
  }
  std::lock_guard lock(gMutex);
  ::CloseHandle(handle_);
  handle_ = nullptr;
  if (moveOver(temp_, target_)) {
    forgetTemporary();
    committed_ = true;
  } else {
    failWindows(::GetLastError());
  }
  discardHeld();
  return failure_;
}

// Both in place or neither: the old first file is kept under a second name
// until the second copy has its name, and put back if it cannot get it.
// A run killed in between (not by Ctrl+C or a console close, which wait
// for the pair) can leave the pair half replaced.
Status replacePair(SafeFile& first, SafeFile& second) {
  SafeFile* const a = &first;
  SafeFile* const b = &second;
  std::lock_guard lock(gMutex);
  for (SafeFile* f : {a, b}) {
    ::CloseHandle(f->handle_);
    f->handle_ = nullptr;
  }
  auto replace = [&]() -> Status {
    std::wstring aside;
    if (::GetFileAttributesW(a->target_.c_str()) != INVALID_FILE_ATTRIBUTES) {
      aside = keepAside(a->target_, a->folder_);
      if (aside.empty()) {
        a->failWindows(::GetLastError());
        return a->failure_;
      }
    }
    if (!moveOver(a->temp_, a->target_)) {
      a->failWindows(::GetLastError());
      if (!aside.empty()) ::DeleteFileW(aside.c_str());
      return a->failure_;
    }
    a->forgetTemporary();
    if (!moveOver(b->temp_, b->target_)) {
      b->failWindows(::GetLastError());
      // The first goes back to its old file, or to none.
      if (aside.empty()) ::DeleteFileW(a->target_.c_str());
      else moveOver(aside, a->target_);
      return b->failure_;
    }
    b->forgetTemporary();
    a->committed_ = b->committed_ = true;
    if (!aside.empty()) ::DeleteFileW(aside.c_str());
    return {};
  };
  Status result = replace();
  a->discardHeld();
  b->discardHeld();
  return result;
}

}  // namespace ezg
