#include "midi/folder.h"
#include "midi/safe_write.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <list>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "midi/safe_write_detail.h"
#include "midi/utf8_path.h"

namespace ezg {
namespace fs = std::filesystem;
namespace {

using namespace detail;

constexpr std::size_t kBufferSize = 1 << 16;
constexpr int kMaxLinkHops = 40;

// Read once: umask can only be read by setting it, which is not safe to
// repeat while other threads create files.
mode_t processUmask() {
  static const mode_t mask = [] {
    mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return mask;
}

// What an ending signal must clear, and the lock that keeps it from finding
// a replacement half done. Only touched under Critical.
std::mutex gMutex;
std::list<std::string> gNamed;                // temporaries that have a name
std::set<std::string> gCleared;            // folders cleared of leftovers

// Holds off the ending signals in this thread.
class SignalHold {
 public:
  SignalHold() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kEndingSignals) sigaddset(&set, sig);
    pthread_sigmask(SIG_BLOCK, &set, &saved_);
  }
  ~SignalHold() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
  SignalHold(const SignalHold&) = delete;
  SignalHold& operator=(const SignalHold&) = delete;

 private:
  sigset_t saved_;
};

// Around every change to the names a signal clears and every replacement:
// a handler in this thread waits, and so does a thread that waits for the
// signals, which takes the same lock.
class Critical {
 public:
  Critical() : lock_(gMutex) {}

 private:
  SignalHold hold_;
  std::unique_lock<std::mutex> lock_;
};

// Follows `path` through symbolic links to the file they name. A path that
// names nothing is a new file; a link that names nothing is refused.
Status resolveLinks(fs::path& path, bool& followed) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
      if (errno == ENOENT && hop > 0) return Failure{FailureCode::DanglingLink, 0, {}};
      if (errno == ENOENT) return {};
      return Failure::fromErrno(errno);
    }
    if (!S_ISLNK(st.st_mode)) return {};
    std::array<char, PATH_MAX> link{};
    const ssize_t n = ::readlink(path.c_str(), link.data(), link.size() - 1);
    if (n < 0) return Failure::fromErrno(errno);
    const fs::path next(std::string(link.data(), static_cast<std::size_t>(n)));
    path = next.is_absolute() ? next : path.parent_path() / next;
    followed = true;
  }
  return Failure::fromErrno(ELOOP);
}

bool leafExists(int folderFd, const std::string& leaf) {
  struct stat st {};
  return ::fstatat(folderFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

class PosixFolder final : public FolderNames {
 public:
  explicit PosixFolder(int folderFd) : fd_(folderFd) {}

  std::string read(const std::string& leaf) override {
    const int fd = ::openat(fd_, leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    std::string text(kLargestRecord, '\0');
    const ssize_t n = ::read(fd, text.data(), text.size());
    ::close(fd);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return text;
  }
  bool exists(const std::string& leaf) override { return leafExists(fd_, leaf); }
  void rename(const std::string& from, const std::string& to) override {
    ::renameat(fd_, from.c_str(), fd_, to.c_str());
  }
  void remove(const std::string& leaf) override { ::unlinkat(fd_, leaf.c_str(), 0); }
  // A temporary whose writer is gone holds no lock any more.
  bool unheld(const std::string& leaf) override {
    const int fd = ::openat(fd_, leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st {};
    const bool gone = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return gone;
  }
  void sync() override { ::fsync(fd_); }

 private:
  int fd_;
};

// One replacement at a time in a folder, across runs. Taken under Critical.
class FolderLock {
 public:
  FolderLock(int folderFd, const std::string& folder) : fd_(folderFd) {
    int done;
    while ((done = ::flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
    }
    // A file system without locks still gets its writes, unordered.
    locked_ = done == 0;
    // Once per folder and run: what killed runs left there.
    std::vector<std::string> names;
    if (gCleared.insert(folder).second && !listPlainFiles(folder, names)) {
      PosixFolder files(fd_);
      settleLeftovers(files, std::move(names));
    }
  }
  ~FolderLock() {
    if (locked_) ::flock(fd_, LOCK_UN);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
  bool locked_ = false;
};

std::pair<dev_t, ino_t> folderKey(int folderFd) {
  struct stat st {};
  ::fstat(folderFd, &st);
  return {st.st_dev, st.st_ino};
}

}  // namespace

void removeTemporariesOnSignal() {
  for (const std::string& path : gNamed) ::unlink(path.c_str());
}

void stopWritingAndRemoveTemporaries() {
  gMutex.lock();  // kept: the run is ending
  removeTemporariesOnSignal();
}

SafeFile::SafeFile(const std::filesystem::path& target) : name_(utf8Of(target)) {
  if (mode_t mode = 0; resolveTarget(target, mode)) openTemporary(mode);
}

// Finds the file a name leads to and whether it may be replaced; `mode` is
// then the one the new file gets.
bool SafeFile::resolveTarget(const std::filesystem::path& target, mode_t& mode) {
  std::error_code ec;
  fs::path real = fs::absolute(target, ec);
  if (ec) {
    failErrno(ec.value());
    return false;
  }
  bool followed = false;
  if (Status failed = resolveLinks(real, followed)) {
    fail(*failed);
    return false;
  }
  struct stat old {};
  const bool exists = ::stat(real.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) {
    fail({FailureCode::FolderInTheWay, 0, {}});
    return false;
  }
  // A device or a FIFO is never replaced by a file: not even through a link,
  // and not even /dev/null for root.
  if (exists && !S_ISREG(old.st_mode)) {
    fail({FailureCode::NotPlainFile, 0, {}});
    return false;
  }
  // A file the user made read-only stays as it is, even for root, who could
  // otherwise rename over it.
  if (exists && (old.st_mode & 0222) == 0) {
    fail({FailureCode::ReadOnlyFile, 0, {}});
    return false;
  }
  // Only a link can lead a name to another file's contents: a hard link is
  // replaced by name and leaves its twin alone.
  hadTarget_ = exists && followed;
  targetDev_ = old.st_dev;
  targetIno_ = old.st_ino;
  folder_ = real.parent_path().string();
  leaf_ = real.filename().string();
  folderFd_ = ::open(folder_.c_str(), O_DIRECTORY | O_RDONLY | O_CLOEXEC);
  if (folderFd_ < 0) {
    failErrno(errno);
    return false;
  }
  // Likewise a folder the user made read-only.
  struct stat folder {};
  if (::fstat(folderFd_, &folder) == 0 && (folder.st_mode & 0222) == 0) {
    fail({FailureCode::ReadOnlyFolder, 0, {}});
    return false;
  }
  // A replaced file keeps its mode, a new one gets the usual mode.
  mode = exists ? (old.st_mode & 07777) : (0666 & ~processUmask());
  return true;
}

// Unnamed while it is written: a killed run leaves nothing. Where the file
// system cannot, a named one, listed for removal on a signal. Either is
// locked while it lives, so that no other run takes it for a leftover.
void SafeFile::openTemporary(mode_t mode) {
  int fd = ::openat(folderFd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  int err = errno;
  if (fd < 0 && (err == EOPNOTSUPP || err == EISDIR || err == EINVAL)) {
    Critical critical;
    FolderLock lock(folderFd_, folder_);
    tempLeaf_ = takeFreshName(kTempPrefix, [&](const std::string& leaf) {
      fd = ::openat(folderFd_, leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      return fd >= 0;
    });
    err = errno;
    if (fd >= 0) {
      gNamed.push_back(folder_ + "/" + tempLeaf_);
      registered_ = true;
    }
  }
  if (fd < 0) {
    failErrno(err);
    return;
  }
  ::flock(fd, LOCK_EX | LOCK_NB);
  ::fchmod(fd, mode);
  file_ = ::fdopen(fd, "wb");
  if (!file_) {
    failErrno(errno);
    ::close(fd);
    discard();
    return;
  }
  buffer_ = std::make_unique<char[]>(kBufferSize);
  std::setvbuf(file_, buffer_.get(), _IOFBF, kBufferSize);
}

SafeFile::~SafeFile() {
  discard();
  if (folderFd_ >= 0) ::close(folderFd_);
}

void SafeFile::write(std::string_view bytes) {
  if (failure_ || finished_ || bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failErrno(errno);
}

bool SafeFile::replaces(const std::string& other) const {
  struct stat st {};
  return hadTarget_ && ::stat(other.c_str(), &st) == 0 && st.st_dev == targetDev_ && st.st_ino == targetIno_;
}

void SafeFile::patch(std::uint64_t offset, std::uint8_t value) {
  if (failure_ || finished_) return;
  // The buffer first, so that the byte is not written over again.
  if (std::fflush(file_) != 0) {
    failErrno(errno);
    return;
  }
  if (::pwrite(::fileno(file_), &value, 1, static_cast<off_t>(offset)) != 1) failErrno(errno);
}

void SafeFile::startWriteback() {
  if (failure_ || finished_ || !file_) return;
  if (std::fflush(file_) != 0) {
    failErrno(errno);
    return;
  }
  // Only a start: finish() still waits with fsync. Not every file system
  // takes it, and nothing depends on it.
  ::sync_file_range(::fileno(file_), 0, 0, SYNC_FILE_RANGE_WRITE);
}

Status SafeFile::finish() {
  if (finished_) return failure_;
  finished_ = true;
  if (!file_) return failure_;
  // On the disk before it gets the name: a crash after the rename must not
  // show an empty or partial file under it.
  if (!failure_ && std::fflush(file_) != 0) failErrno(errno);
  if (!failure_ && ::fsync(::fileno(file_)) != 0 && errno != EINVAL) failErrno(errno);
  return failure_;
}

// Gives the unnamed temporary a name beside the target, since only a name
// can be renamed over another.
bool SafeFile::readyToMove() {
  if (!tempLeaf_.empty()) return true;
  const int fd = ::fileno(file_);
  char proc[64];
  std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
  tempLeaf_ = takeFreshName(kTempPrefix, [&](const std::string& leaf) {
    int done = ::linkat(AT_FDCWD, proc, folderFd_, leaf.c_str(), AT_SYMLINK_FOLLOW);
    if (done != 0 && errno == ENOENT) done = ::linkat(fd, "", folderFd_, leaf.c_str(), AT_EMPTY_PATH);
    return done == 0;
  });
  if (tempLeaf_.empty()) {
    failErrno(errno);
    return false;
  }
  gNamed.push_back(folder_ + "/" + tempLeaf_);
  registered_ = true;
  return true;
}

// Under Critical: the temporary took the target's name, or is gone.
void SafeFile::forgetTemporary() {
  if (registered_) gNamed.remove(folder_ + "/" + tempLeaf_);
  registered_ = false;
  tempLeaf_.clear();
}

bool SafeFile::syncFolder() {
  if (::fsync(folderFd_) == 0 || errno == EINVAL) return true;
  failErrno(errno);
  return false;
}

// Under Critical: closes the file and removes a temporary that has a name.
void SafeFile::discardHeld() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!tempLeaf_.empty()) {
    ::unlinkat(folderFd_, tempLeaf_.c_str(), 0);
    forgetTemporary();
  }
}

void SafeFile::discard() {
  if (!file_ && tempLeaf_.empty()) return;
  Critical critical;
  discardHeld();
}

Status SafeFile::holdingFolders(SafeFile& a, SafeFile* b, const std::function<Status(bool)>& work) {
  Critical critical;
  const auto keyA = folderKey(a.folderFd_), keyB = b ? folderKey(b->folderFd_) : keyA;
  // Two folders are locked in one order, so two runs never wait on each
  // other.
  SafeFile& first = keyA <= keyB ? a : *b;
  FolderLock lock1(first.folderFd_, first.folder_);
  std::optional<FolderLock> lock2;
  if (keyA != keyB) {
    SafeFile& second = &first == &a ? *b : a;
    lock2.emplace(second.folderFd_, second.folder_);
  }
  return work(keyA == keyB);
}

bool SafeFile::targetExists() const { return leafExists(folderFd_, leaf_); }

std::string SafeFile::keepAside() {
  std::string aside = takeFreshName(kTempPrefix, [&](const std::string& leaf) {
    return ::linkat(folderFd_, leaf_.c_str(), folderFd_, leaf.c_str(), 0) == 0;
  });
  if (aside.empty()) failErrno(errno);
  return aside;
}

std::string SafeFile::writeRecord(const std::string& text) {
  int fd = -1;
  std::string leaf = takeFreshName(kRecordPrefix, [&](const std::string& name) {
    fd = ::openat(folderFd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    return fd >= 0;
  });
  if (leaf.empty()) {
    failErrno(errno);
    return {};
  }
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                       ::fsync(fd) == 0 && ::fsync(folderFd_) == 0;
  const int err = errno;
  ::close(fd);
  if (written) return leaf;
  removeLeaf(leaf);
  failErrno(err ? err : EIO);
  return {};
}

bool SafeFile::moveIn() {
  if (::renameat(folderFd_, tempLeaf_.c_str(), folderFd_, leaf_.c_str()) != 0) {
    failErrno(errno);
    return false;
  }
  forgetTemporary();
  return true;
}

bool SafeFile::moveBack(const std::string& aside) {
  return (aside.empty() ? ::unlinkat(folderFd_, leaf_.c_str(), 0)
                        : ::renameat(folderFd_, aside.c_str(), folderFd_, leaf_.c_str())) == 0;
}

void SafeFile::removeLeaf(const std::string& leaf) {
  if (!leaf.empty()) ::unlinkat(folderFd_, leaf.c_str(), 0);
}

}  // namespace ezg
