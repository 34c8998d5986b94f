#include "midi/safe_write.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

namespace ezg {
namespace fs = std::filesystem;
namespace {

constexpr std::size_t kBufferSize = 1 << 16;
constexpr int kMaxLinkHops = 40;
constexpr int kNameTries = 100;

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

// The names of temporary files that exist right now, for a signal handler
// to unlink. A slot is free (0), being filled (1) or live (2); only live
// names are removed, so the handler never reads a half-written one.
struct TempSlot {
  std::atomic<int> state{0};
  char path[PATH_MAX] = {};
};
static_assert(std::atomic<int>::is_always_lock_free);
constexpr int kTempSlots = 64;
constinit std::array<TempSlot, kTempSlots> tempSlots;

// A slot for `path`, or -1 when all are taken (the file is then only
// removed by ordinary code).
int registerTemporary(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kTempSlots; ++i) {
    int expected = 0;
    if (!tempSlots[i].state.compare_exchange_strong(expected, 1)) continue;
    std::memcpy(tempSlots[i].path, path.c_str(), path.size() + 1);
    tempSlots[i].state.store(2);
    return i;
  }
  return -1;
}

void releaseTemporary(int& slot) {
  if (slot >= 0) tempSlots[slot].state.store(0);
  slot = -1;
}

// Holds off the ending signals while a name is made and registered, so a
// signal in between cannot leave it behind.
class SignalHold {
 public:
  SignalHold() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, sig);
    pthread_sigmask(SIG_BLOCK, &set, &saved_);
  }
  ~SignalHold() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
  SignalHold(const SignalHold&) = delete;
  SignalHold& operator=(const SignalHold&) = delete;

 private:
  sigset_t saved_;
};

// Short and of fixed length, so any name the folder takes can be replaced.
std::string temporaryName() {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::string name = ".ezg-";
  for (int i = 0; i < 6; ++i) name += kChars[random() % (sizeof kChars - 1)];
  return name;
}

// Tries fresh short names until `attempt` takes one, or fails for another
// reason than a name already taken (errno then says which). The name, or "".
template <class Attempt>
std::string takeFreshName(Attempt attempt) {
  for (int tries = 0; tries < kNameTries; ++tries) {
    std::string leaf = temporaryName();
    if (attempt(leaf)) return leaf;
    if (errno != EEXIST) break;
  }
  return {};
}

// Follows `path` through symbolic links to the file they name. A path that
// names nothing is a new file; a link that names nothing is refused.
Status resolveLinks(fs::path& path) {
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
  }
  return Failure::fromErrno(ELOOP);
}

}  // namespace

void removeTemporariesOnSignal() {
  for (TempSlot& slot : tempSlots)
    if (slot.state.load() == 2) ::unlink(slot.path);
}

void removeTemporariesNow() {
  for (TempSlot& slot : tempSlots) {
    int live = 2;
    if (slot.state.compare_exchange_strong(live, 1)) {
      ::unlink(slot.path);
      slot.state.store(0);
    }
  }
}

SafeFile::SafeFile(const std::filesystem::path& target) : name_(target.string()) {
  std::error_code ec;
  fs::path real = fs::absolute(target, ec);
  if (ec) {
    failErrno(ec.value());
    return;
  }
  if (Status failed = resolveLinks(real)) {
    fail(*failed);
    return;
  }
  struct stat old {};
  const bool exists = ::stat(real.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) {
    fail({FailureCode::FolderInTheWay, 0, {}});
    return;
  }
  // A file the user made read-only stays as it is, even for root, who could
  // otherwise rename over it.
  if (exists && (old.st_mode & 0222) == 0) {
    fail({FailureCode::ReadOnlyFile, 0, {}});
    return;
  }
  folder_ = real.parent_path().string();
  leaf_ = real.filename().string();
  folderFd_ = ::open(folder_.c_str(), O_DIRECTORY | O_RDONLY | O_CLOEXEC);
  if (folderFd_ < 0) {
    failErrno(errno);
    return;
  }
  // Likewise a folder the user made read-only.
  struct stat folder {};
  if (::fstat(folderFd_, &folder) == 0 && (folder.st_mode & 0222) == 0) {
    fail({FailureCode::ReadOnlyFolder, 0, {}});
    return;
  }
  // Unnamed while it is written: a killed run leaves nothing. Where the file
  // system cannot, a named one, registered for removal on a signal.
  int fd = ::openat(folderFd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    SignalHold hold;
    tempLeaf_ = takeFreshName([&](const std::string& leaf) {
      fd = ::openat(folderFd_, leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      return fd >= 0;
    });
    if (fd >= 0) tempSlot_ = registerTemporary(folder_ + "/" + tempLeaf_);
  }
  if (fd < 0) {
    failErrno(errno);
    return;
  }
  // A replaced file keeps its mode, a new one gets the usual mode.
  ::fchmod(fd, exists ? (old.st_mode & 07777) : (0666 & ~processUmask()));
  file_ = ::fdopen(fd, "wb");
  if (!file_) {
    failErrno(errno);
    ::close(fd);
    return;
  }
  buffer_ = std::make_unique<char[]>(kBufferSize);
  std::setvbuf(file_, buffer_.get(), _IOFBF, kBufferSize);
}

SafeFile::~SafeFile() {
  discard();
  dropOld();
  if (folderFd_ >= 0) ::close(folderFd_);
}

void SafeFile::fail(Failure failure) {
  if (failure_) return;
  if (failure.detail.empty()) failure.detail = name_;
  failure_ = std::move(failure);
}

void SafeFile::failErrno(int err) { fail(Failure::fromErrno(err)); }

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

// Gives the unnamed temporary a short hidden name beside the target, since
// only a name can be renamed over another.
bool SafeFile::linkIn() {
  SignalHold hold;
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
  tempSlot_ = registerTemporary(folder_ + "/" + tempLeaf_);
  return true;
}

void SafeFile::syncFolder() {
  if (::fsync(folderFd_) != 0 && errno != EINVAL) failErrno(errno);
}

Status SafeFile::replace(bool keepOld) {
  if (committed_) return failure_;
  if (finish() || (tempLeaf_.empty() && !linkIn())) {
    discard();
    return failure_;
  }
  const int closed = std::fclose(file_);
  file_ = nullptr;
  if (closed != 0) {
    failErrno(errno);
    discard();
    return failure_;
  }
  struct stat st {};
  hadOld_ = ::fstatat(folderFd_, leaf_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
  if (keepOld && hadOld_) {
    // The old file takes the temporary's name, ready to be put back.
    if (::renameat2(folderFd_, tempLeaf_.c_str(), folderFd_, leaf_.c_str(), RENAME_EXCHANGE) == 0) {
      oldLeaf_ = std::move(tempLeaf_);
      oldSlot_ = tempSlot_;
      tempLeaf_.clear();
      tempSlot_ = -1;
      committed_ = true;
      syncFolder();
      return failure_;
    }
    if (errno != EINVAL && errno != ENOSYS) {
      failErrno(errno);
      discard();
      return failure_;
    }
    // No exchange here: a second name for the old file instead.
    SignalHold hold;
    oldLeaf_ = takeFreshName([&](const std::string& leaf) {
      return ::linkat(folderFd_, leaf_.c_str(), folderFd_, leaf.c_str(), 0) == 0;
    });
    if (oldLeaf_.empty()) {
      failErrno(errno);
      discard();
      return failure_;
    }
    oldSlot_ = registerTemporary(folder_ + "/" + oldLeaf_);
  }
  if (::renameat(folderFd_, tempLeaf_.c_str(), folderFd_, leaf_.c_str()) != 0) {
    failErrno(errno);
    dropOld();
    discard();
    return failure_;
  }
  releaseTemporary(tempSlot_);
  tempLeaf_.clear();
  committed_ = true;
  syncFolder();
  return failure_;
}

Status SafeFile::commit() { return replace(false); }
Status SafeFile::commitKeepingOld() { return replace(true); }

Status SafeFile::revert() {
  if (!committed_) return failure_;
  committed_ = false;
  int undone = 0;
  if (!oldLeaf_.empty()) {
    undone = ::renameat(folderFd_, oldLeaf_.c_str(), folderFd_, leaf_.c_str());
    if (undone == 0) {
      releaseTemporary(oldSlot_);
      oldLeaf_.clear();
    }
  } else if (!hadOld_) {
    undone = ::unlinkat(folderFd_, leaf_.c_str(), 0);
  }
  if (undone != 0) failErrno(errno);
  syncFolder();
  return failure_;
}

void SafeFile::dropOld() {
  if (oldLeaf_.empty()) return;
  ::unlinkat(folderFd_, oldLeaf_.c_str(), 0);
  releaseTemporary(oldSlot_);
  oldLeaf_.clear();
}

void SafeFile::discard() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!committed_ && !tempLeaf_.empty()) {
    ::unlinkat(folderFd_, tempLeaf_.c_str(), 0);
    releaseTemporary(tempSlot_);
    tempLeaf_.clear();
  }
}

Status writeFileSafely(const std::filesystem::path& target, std::string_view bytes) {
  SafeFile out(target);
  out.write(bytes);
  return out.commit();
}

Status commitBoth(OutputFile& first, OutputFile& second) {
  // Outputs that are not committed remove their temporary files when they
  // go out of scope, so an early return leaves both targets as they were.
  for (OutputFile* out : {&first, &second}) out->startWriteback();
  for (OutputFile* out : {&first, &second})
    if (Status failed = out->finish()) return failed;
  if (Status failed = first.commitKeepingOld()) return failed;
  if (Status failed = second.commit()) {
    first.revert();
    return failed;
  }
  first.dropOld();
  return {};
}

}  // namespace ezg
