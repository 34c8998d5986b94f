#include <windows.h>

#include <algorithm>
#include <list>
#include <mutex>

#include "files/folder.h"
#include "files/safe_write.h"
#include "files/utf8_path.h"

namespace ezg {
namespace fs = std::filesystem;
namespace {

constexpr std::size_t kBufferSize = 1 << 16;

// The temporaries a console close must remove, and the lock that keeps it
// from finding a replacement half done: the close handler runs on a thread
// of its own and takes the same lock.
std::mutex gMutex;
std::list<std::wstring> gNamed;  // this run's temporaries that have a name

FileId idOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

// Opened only to be looked at, through any link; asking for DELETE finds
// out whether another program holds it open without letting it be replaced.
HANDLE openToLookAt(const std::wstring& name, DWORD access) {
  return ::CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool moveOver(const std::wstring& from, const std::wstring& to) {
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool taken(DWORD err) { return err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS; }

// Marked for deletion, a file goes when its last handle closes, however
// the run ends; unmarked, it stays.
bool markForDeletion(HANDLE h, bool mark) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = mark ? TRUE : FALSE;
  return ::SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition);
}

// Whether two full names are one, as a file system that ignores case sees
// them.
bool sameName(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

}  // namespace

std::optional<FileId> fileIdOf(const std::filesystem::path& name) {
  HANDLE h = openToLookAt(name.native(), FILE_READ_ATTRIBUTES);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = ::GetFileInformationByHandle(h, &info);
  ::CloseHandle(h);
  if (!known) return std::nullopt;
  return idOf(info);
}

void stopWritingAndRemoveTemporaries() {
  gMutex.lock();  // kept: the run is ending
  // Our own handles share deletion, so each goes as soon as it is closed;
  // the unnamed ones go with the process.
  for (const std::wstring& name : gNamed) ::DeleteFileW(name.c_str());
}

SafeFile::SafeFile(const std::filesystem::path& target) : name_(utf8Of(target)) {
  if (resolveTarget(target)) openTemporary();
}

std::wstring SafeFile::at(std::string_view leaf) const { return folder_ + L'\\' + wideOf(leaf); }

// Finds the file a name leads to and whether it may be replaced: not a
// folder, a device, a read-only file or one another program holds open.
bool SafeFile::resolveTarget(const std::filesystem::path& target) {
  std::error_code ec;
  fs::path full = fs::absolute(target, ec);
  if (ec) {
    failErrno(ec.value());
    return false;
  }
  const DWORD attributes = ::GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
    failWindows(::GetLastError());
    return false;
  }
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    HANDLE h = openToLookAt(full.native(), DELETE | FILE_READ_ATTRIBUTES);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD err = ::GetLastError();
      if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND))
        fail({FailureCode::DanglingLink, 0, {}});
      else
        failWindows(err);
      return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(h, &info);
    const bool plain = ::GetFileType(h) == FILE_TYPE_DISK;
    ::CloseHandle(h);
    // What the name leads to, through a link, decides.
    const DWORD realAttributes = known ? info.dwFileAttributes : attributes;
    if (realAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      fail({FailureCode::FolderInTheWay, 0, {}});
      return false;
    }
    if (!plain) {
      fail({FailureCode::NotPlainFile, 0, {}});
      return false;
    }
    if (realAttributes & FILE_ATTRIBUTE_READONLY) {
      fail({FailureCode::ReadOnlyFile, 0, {}});
      return false;
    }
    exists_ = known;
    target_ = idOf(info);
    if (fs::path real = followedName(full); !sameName(real.native(), full.native())) {
      full = std::move(real);
      followed_ = true;
    }
    refuseKeptTarget();
    if (failure_) return false;
  }
  folder_ = full.parent_path().native();
  leaf_ = utf8Of(full.filename());
  return true;
}

// Marked for deletion while it is written, so that a run killed from
// outside leaves nothing; where the file system cannot mark it, a named
// file that an ending run removes.
void SafeFile::openTemporary() {
  std::lock_guard lock(gMutex);
  DWORD err = 0;
  HANDLE h = INVALID_HANDLE_VALUE;
  tempLeaf_ = takeFreshName([&](const std::string& leaf) {
    // Deletion shared, so that a console close can remove it while it is
    // being written.
    h = ::CreateFileW(at(leaf).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) return true;
    err = ::GetLastError();
    errno = taken(err) ? EEXIST : 0;
    return false;
  });
  if (tempLeaf_.empty()) {
    failWindows(err);
    return;
  }
  handle_ = h;
  pending_ = markForDeletion(h, true);
  if (!pending_) {
    gNamed.push_back(at(tempLeaf_));
    registered_ = true;
  }
  buffer_.reserve(kBufferSize);
}

SafeFile::~SafeFile() { discard(); }

void SafeFile::failWindows(unsigned long err) { fail(Failure::fromWindowsError(err)); }

bool SafeFile::writeOut(const char* data, std::size_t size, std::uint64_t offset) {
  while (size > 0) {
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(offset);
    where.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, DWORD{1} << 30));
    if (!::WriteFile(handle_, data, chunk, &n, &where)) {
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

// Each file's flush is the only way to make it last here.
void finishTogether(std::span<OutputFile* const> outputs) {
  for (OutputFile* out : outputs) static_cast<void>(out->finish());
}

// Under the lock: the temporary took the target's name, or is gone.
void SafeFile::forgetTemporary() {
  if (registered_) gNamed.remove(at(tempLeaf_));
  registered_ = false;
  pending_ = false;
  tempLeaf_.clear();
}

// Under the lock: closes the temporary, which takes it away if it is still
// marked, and removes it by name if it is not.
void SafeFile::discardHeld() {
  if (handle_) ::CloseHandle(handle_);
  handle_ = nullptr;
  if (!tempLeaf_.empty()) {
    if (registered_) ::DeleteFileW(at(tempLeaf_).c_str());
    forgetTemporary();
  }
}

void SafeFile::discard() {
  if (!handle_ && tempLeaf_.empty()) return;
  std::lock_guard lock(gMutex);
  discardHeld();
}

Status SafeFile::guarded(const std::function<Status()>& work) {
  std::lock_guard lock(gMutex);
  return work();
}

// Under the lock: unmarked, then closed, since a file another handle holds
// cannot be moved.
bool SafeFile::readyToMove() {
  if (pending_) {
    if (!markForDeletion(handle_, false)) {
      failWindows(::GetLastError());
      return false;
    }
    pending_ = false;
    gNamed.push_back(at(tempLeaf_));
    registered_ = true;
  }
  if (handle_) ::CloseHandle(handle_);
  handle_ = nullptr;
  return true;
}

// A hard link where the file system has them, else a copy.
std::string SafeFile::keepAside() {
  DWORD err = 0;
  std::string aside = takeFreshName([&](const std::string& leaf) {
    if (::CreateHardLinkW(at(leaf).c_str(), at(leaf_).c_str(), nullptr) ||
        ::CopyFileW(at(leaf_).c_str(), at(leaf).c_str(), TRUE))
      return true;
    err = ::GetLastError();
    errno = taken(err) ? EEXIST : 0;
    return false;
  });
  if (aside.empty()) failWindows(err);
  return aside;
}

bool SafeFile::moveIn() {
  if (!moveOver(at(tempLeaf_), at(leaf_))) {
    failWindows(::GetLastError());
    return false;
  }
  forgetTemporary();
  return true;
}

void SafeFile::moveBack(const std::string& aside) {
  if (aside.empty())
    ::DeleteFileW(at(leaf_).c_str());
  else
    moveOver(at(aside), at(leaf_));
}

void SafeFile::removeLeaf(const std::string& leaf) {
  if (!leaf.empty()) ::DeleteFileW(at(leaf).c_str());
}

// MOVEFILE_WRITE_THROUGH has the names on the disk when a move returns:
// there is no folder to sync, now or later.
bool SafeFile::syncFolder() { return true; }
void deferFolderSyncs() {}
Status syncDeferredFolders() { return {}; }

}  // namespace ezg
