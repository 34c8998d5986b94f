#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <list>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "midi/folder.h"
#include "midi/safe_write.h"
#include "midi/safe_write_detail.h"
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
std::set<std::wstring> gCleared;  // folders cleared of leftovers

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

// A file of a fresh name, opened for writing; else INVALID_HANDLE_VALUE,
// `err` says why and errno whether the name was taken.
HANDLE createNew(const std::wstring& name, DWORD share, DWORD& err) {
  HANDLE h = ::CreateFileW(name.c_str(), GENERIC_WRITE, share, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) return h;
  err = ::GetLastError();
  errno = taken(err) ? EEXIST : 0;
  return h;
}

// Whether two full names are one, as a file system that ignores case sees
// them.
bool sameName(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

class WindowsFolder final : public FolderNames {
 public:
  explicit WindowsFolder(const std::wstring& folder) : folder_(folder) {}

  std::string read(const std::string& leaf) override {
    HANDLE h = ::CreateFileW(at(leaf).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string text(kLargestRecord, '\0');
    DWORD n = 0;
    if (!::ReadFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr)) n = 0;
    ::CloseHandle(h);
    text.resize(n);
    return text;
  }
  bool exists(const std::string& leaf) override {
    return ::GetFileAttributesW(at(leaf).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  void rename(const std::string& from, const std::string& to) override { moveOver(at(from), at(to)); }
  void remove(const std::string& leaf) override { ::DeleteFileW(at(leaf).c_str()); }
  // A live writer shares its temporary for reading and deleting only, so
  // writing to it can be asked only once the writer is gone.
  bool unheld(const std::string& leaf) override {
    HANDLE h = ::CreateFileW(at(leaf).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
  }
  // The moves write their names through; there is no folder to flush.
  void sync() override {}

 private:
  std::wstring at(std::string_view leaf) const { return folder_ + L'\\' + wideOf(leaf); }

  std::wstring folder_;
};

// A folder's lasting name: its volume and index where the system tells
// them, so that two spellings of one folder are one; else its name.
std::wstring folderKey(const std::wstring& folder) {
  HANDLE h = openToLookAt(folder, FILE_READ_ATTRIBUTES);
  const std::optional<FileId> id = h == INVALID_HANDLE_VALUE ? std::nullopt : idOf(h);
  if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  if (!id) return folder;
  wchar_t key[40];
  ::swprintf(key, std::size(key), L"%08lx-%016llx", id->volume, static_cast<unsigned long long>(id->index));
  return key;
}

// One replacement at a time in a folder, across runs: a mutex named after
// the folder, for every session of the machine. A run killed while it holds
// the mutex leaves it abandoned, which the next run takes as its own.
class FolderLock {
 public:
  FolderLock(const std::wstring& folder, const std::wstring& key) {
    for (const wchar_t* space : {L"Global\\", L"Local\\"}) {
      std::wstring name = std::wstring(space) + L"ezgitar-folder-" + key;
      std::replace(name.begin() + static_cast<std::ptrdiff_t>(std::wcslen(space)), name.end(), L'\\', L'/');
      mutex_ = ::CreateMutexW(nullptr, FALSE, name.c_str());
      if (mutex_) break;
    }
    // Without one, the writes still happen, unordered.
    if (mutex_) {
      const DWORD waited = ::WaitForSingleObject(mutex_, INFINITE);
      locked_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
    // Once per folder and run: what killed runs left there. By name, as a
    // folder made again may take an old one's number.
    std::vector<std::string> names;
    if (gCleared.insert(folder).second && !listPlainFiles(utf8Of(fs::path(folder)), names)) {
      WindowsFolder files(folder);
      settleLeftovers(files, std::move(names));
    }
  }
  ~FolderLock() {
    if (locked_) ::ReleaseMutex(mutex_);
    if (mutex_) ::CloseHandle(mutex_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  HANDLE mutex_ = nullptr;
  bool locked_ = false;
};

}  // namespace

void stopWritingAndRemoveTemporaries() {
  gMutex.lock();  // kept: the run is ending
  // Our own handles share deletion, so each goes as soon as it is closed.
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
    // Only a link can lead a name to another file's contents: a hard link
    // is replaced by name and leaves its twin alone.
    if (fs::path real = followedName(full); !sameName(real.native(), full.native())) {
      full = std::move(real);
      hadTarget_ = known;
      targetVolume_ = info.dwVolumeSerialNumber;
      targetIndex_ = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    }
  }
  folder_ = full.parent_path().native();
  leaf_ = utf8Of(full.filename());
  return true;
}

void SafeFile::openTemporary() {
  std::lock_guard lock(gMutex);
  DWORD err = 0;
  HANDLE h = INVALID_HANDLE_VALUE;
  tempLeaf_ = takeFreshName(kTempPrefix, [&](const std::string& leaf) {
    // Writing not shared, so that no other run takes it for a leftover;
    // deletion shared, so that a console close can remove it while it is
    // being written.
    h = createNew(at(leaf), FILE_SHARE_READ | FILE_SHARE_DELETE, err);
    return h != INVALID_HANDLE_VALUE;
  });
  if (tempLeaf_.empty()) {
    failWindows(err);
    return;
  }
  handle_ = h;
  gNamed.push_back(at(tempLeaf_));
  registered_ = true;
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
  if (registered_) gNamed.remove(at(tempLeaf_));
  registered_ = false;
  tempLeaf_.clear();
}

// Under the lock: closes the temporary and removes it if it is still there.
void SafeFile::discardHeld() {
  if (handle_) ::CloseHandle(handle_);
  handle_ = nullptr;
  if (!tempLeaf_.empty()) {
    ::DeleteFileW(at(tempLeaf_).c_str());
    forgetTemporary();
  }
}

void SafeFile::discard() {
  if (!handle_ && tempLeaf_.empty()) return;
  std::lock_guard lock(gMutex);
  discardHeld();
}

Status SafeFile::holdingFolders(SafeFile& a, SafeFile* b, const std::function<Status(bool)>& work) {
  std::lock_guard lock(gMutex);
  const std::wstring keyA = folderKey(a.folder_), keyB = b ? folderKey(b->folder_) : keyA;
  // Two folders are locked in one order, so two runs never wait on each
  // other.
  SafeFile& first = keyA <= keyB ? a : *b;
  FolderLock lock1(first.folder_, std::min(keyA, keyB));
  std::optional<FolderLock> lock2;
  if (keyA != keyB) lock2.emplace((&first == &a ? *b : a).folder_, std::max(keyA, keyB));
  return work(keyA == keyB);
}

bool SafeFile::readyToMove() {
  if (handle_) ::CloseHandle(handle_);
  handle_ = nullptr;
  return true;
}

bool SafeFile::targetExists() const { return ::GetFileAttributesW(at(leaf_).c_str()) != INVALID_FILE_ATTRIBUTES; }

// A hard link where the file system has them, else a copy.
std::string SafeFile::keepAside() {
  DWORD err = 0;
  std::string aside = takeFreshName(kTempPrefix, [&](const std::string& leaf) {
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

std::string SafeFile::writeRecord(const std::string& text) {
  DWORD err = 0;
  HANDLE h = INVALID_HANDLE_VALUE;
  std::string leaf = takeFreshName(kRecordPrefix, [&](const std::string& name) {
    h = createNew(at(name), 0, err);
    return h != INVALID_HANDLE_VALUE;
  });
  if (leaf.empty()) {
    failWindows(err);
    return {};
  }
  DWORD n = 0;
  const bool written = ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr) &&
                       n == text.size() && ::FlushFileBuffers(h);
  err = ::GetLastError();
  ::CloseHandle(h);
  if (written) return leaf;
  removeLeaf(leaf);
  failWindows(err);
  return {};
}

bool SafeFile::moveIn() {
  if (!moveOver(at(tempLeaf_), at(leaf_))) {
    failWindows(::GetLastError());
    return false;
  }
  forgetTemporary();
  return true;
}

bool SafeFile::moveBack(const std::string& aside) {
  return aside.empty() ? ::DeleteFileW(at(leaf_).c_str()) : moveOver(at(aside), at(leaf_));
}

void SafeFile::removeLeaf(const std::string& leaf) {
  if (!leaf.empty()) ::DeleteFileW(at(leaf).c_str());
}

// MOVEFILE_WRITE_THROUGH has the names on the disk when a move returns.
bool SafeFile::syncFolder() { return true; }

}  // namespace ezg
