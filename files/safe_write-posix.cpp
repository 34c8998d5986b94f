#include "files/safe_write.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "files/utf8_path.h"

namespace ezg {
namespace fs = std::filesystem;
namespace {

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

// What an ending signal must remove, and the lock that keeps it from
// finding a replacement half done. Only touched under Critical.
std::mutex gMutex;
std::list<std::string> gNamed;  // this run's temporaries that have a name
// Folders whose sync is deferred: a descriptor of each, by the folder.
bool gDeferring = false;
std::map<std::pair<dev_t, ino_t>, int> gUnsynced;
int gUnsyncedErrno = 0;
// Past this many, the folders are synced at once rather than held open.
constexpr std::size_t kMostUnsynced = 64;

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

// Around every change to the names a signal removes and every replacement:
// a handler in this thread waits, and so does a thread that waits for the
// signals, which takes the same lock.
class Critical {
 public:
  Critical() : lock_(gMutex) {}

 private:
  SignalHold hold_;
  std::unique_lock<std::mutex> lock_;
};

// As the kernel's protection of shared folders has it: in a sticky folder
// that anyone may write to, only a link of this user's or of the folder's
// owner is followed.
bool mayFollow(const fs::path& link, const struct stat& st) {
  struct stat folder {};
  if (::stat(link.parent_path().c_str(), &folder) != 0) return false;
  const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
  return !shared || st.st_uid == ::geteuid() || st.st_uid == folder.st_uid;
}

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
    if (!mayFollow(path, st)) return Failure::fromErrno(EACCES);
    std::array<char, PATH_MAX> link{};
    const ssize_t n = ::readlink(path.c_str(), link.data(), link.size() - 1);
    if (n < 0) return Failure::fromErrno(errno);
    const fs::path next(std::string(link.data(), static_cast<std::size_t>(n)));
    path = next.is_absolute() ? next : path.parent_path() / next;
    followed = true;
  }
  return Failure::fromErrno(ELOOP);
}

FileId idOf(const struct stat& st) { return {static_cast<std::uint64_t>(st.st_dev), st.st_ino}; }

// Under Critical, or in a handler of the one thread there is. A failure is
// kept for syncDeferredFolders() to tell.
void syncUnsynced() {
  for (const auto& [folder, fd] : gUnsynced) {
    if (::fsync(fd) != 0 && errno != EINVAL && gUnsyncedErrno == 0) gUnsyncedErrno = errno;
    ::close(fd);
  }
  gUnsynced.clear();
}

// Under Critical: keeps a descriptor of the folder for its deferred sync;
// false when it cannot.
bool deferSyncOf(int folderFd) {
  struct stat st {};
  if (::fstat(folderFd, &st) != 0) return false;
  const std::pair key{st.st_dev, st.st_ino};
  if (gUnsynced.contains(key)) return true;
  if (gUnsynced.size() >= kMostUnsynced) syncUnsynced();
  const int fd = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return false;
  gUnsynced.emplace(key, fd);
  return true;
}

// File systems whose sync writes every file's data and metadata and then
// flushes the device, as an fsync of each would: a batch syncs them once.
// Others (FAT, network file systems) may skip the flush; each file there
// gets its own fsync.
bool syncsAsOne(int folderFd) {
  constexpr long kExt4 = 0xEF53, kXfs = 0x58465342, kBtrfs = 0x9123683E;
  struct statfs fs {};
  if (::fstatfs(folderFd, &fs) != 0) return false;
  const long type = static_cast<long>(fs.f_type);
  return type == kExt4 || type == kXfs || type == kBtrfs;
}

}  // namespace

std::optional<FileId> fileIdOf(const std::filesystem::path& name) {
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0) return std::nullopt;
  return idOf(st);
}

void deferFolderSyncs() {
  Critical critical;
  gDeferring = true;
}

Status syncDeferredFolders() {
  Critical critical;
  syncUnsynced();
  if (const int err = std::exchange(gUnsyncedErrno, 0)) return Failure::fromErrno(err);
  return {};
}

void removeTemporariesOnSignal() {
  syncUnsynced();
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
  if (Status failed = resolveLinks(real, followed_)) {
    fail(*failed);
    return false;
  }
  struct stat old {};
  exists_ = ::stat(real.c_str(), &old) == 0;
  if (exists_ && S_ISDIR(old.st_mode)) {
    fail({FailureCode::FolderInTheWay, 0, {}});
    return false;
  }
  // A device or a FIFO is never replaced by a file: not even through a link,
  // and not even /dev/null for root.
  if (exists_ && !S_ISREG(old.st_mode)) {
    fail({FailureCode::NotPlainFile, 0, {}});
    return false;
  }
  // A file the user made read-only stays as it is, even for root, who could
  // otherwise rename over it.
  if (exists_ && (old.st_mode & 0222) == 0) {
    fail({FailureCode::ReadOnlyFile, 0, {}});
    return false;
  }
  target_ = idOf(old);
  refuseKeptTarget();
  if (failure_) return false;
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
  mode = exists_ ? (old.st_mode & 07777) : (0666 & ~processUmask());
  return true;
}

// Unnamed while it is written: a killed run leaves nothing. Where the file
// system cannot, a named one, listed for removal on a signal.
void SafeFile::openTemporary(mode_t mode) {
  int fd = ::openat(folderFd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  int err = errno;
  if (fd < 0 && (err == EOPNOTSUPP || err == EISDIR || err == EINVAL)) {
    Critical critical;
    tempLeaf_ = takeFreshName([&](const std::string& leaf) {
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
  ::fchmod(fd, mode);
  file_ = ::fdopen(fd, "wb");
  if (!file_) {
    failErrno(errno);
    ::close(fd);
    discard();
    return;
  }
  // Not cleared first: a small file touches a page or two of it.
  buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
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

void finishTogether(std::span<OutputFile* const> outputs) {
  std::map<dev_t, std::vector<SafeFile*>> waiting;  // by file system, for its one sync
  for (OutputFile* out : outputs) {
    SafeFile* const f = out->file();
    struct stat folder {};
    if (!f || f->finished_ || !f->file_ || f->failure_ || ::fstat(f->folderFd_, &folder) != 0 ||
        !syncsAsOne(f->folderFd_)) {
      static_cast<void>(out->finish());
      continue;
    }
    f->finished_ = true;
    if (std::fflush(f->file_) != 0) {
      f->failErrno(errno);
      continue;
    }
    waiting[folder.st_dev].push_back(f);
  }
  // It reports any write that failed on the file system since the folder
  // was opened, before the file was.
  for (const auto& [device, files] : waiting) {
    if (::syncfs(files.front()->folderFd_) == 0) continue;
    const int err = errno;
    for (SafeFile* f : files) f->failErrno(err);
  }
}

// Gives the unnamed temporary a name beside the target, since only a name
// can be renamed over another.
bool SafeFile::readyToMove() {
  if (!tempLeaf_.empty()) return true;
  const int fd = ::fileno(file_);
  char proc[64];
  std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
  tempLeaf_ = takeFreshName([&](const std::string& leaf) {
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

// Under Critical. In a batch, once for all its pairs.
bool SafeFile::syncFolder() {
  if (gDeferring && deferSyncOf(folderFd_)) return true;
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

Status SafeFile::guarded(const std::function<Status()>& work) {
  Critical critical;
  return work();
}

std::string SafeFile::keepAside() {
  std::string aside = takeFreshName(
      [&](const std::string& leaf) { return ::linkat(folderFd_, leaf_.c_str(), folderFd_, leaf.c_str(), 0) == 0; });
  if (aside.empty()) failErrno(errno);
  return aside;
}

bool SafeFile::moveIn() {
  if (::renameat(folderFd_, tempLeaf_.c_str(), folderFd_, leaf_.c_str()) != 0) {
    failErrno(errno);
    return false;
  }
  forgetTemporary();
  return true;
}

void SafeFile::moveBack(const std::string& aside) {
  if (aside.empty())
    ::unlinkat(folderFd_, leaf_.c_str(), 0);
  else
    ::renameat(folderFd_, aside.c_str(), folderFd_, leaf_.c_str());
}

void SafeFile::removeLeaf(const std::string& leaf) {
  if (!leaf.empty()) ::unlinkat(folderFd_, leaf.c_str(), 0);
}

}  // namespace ezg
