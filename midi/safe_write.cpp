#include "midi/safe_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ezg {
namespace {

constexpr std::size_t kBufferSize = 1 << 16;

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

}  // namespace

SafeFile::SafeFile(std::filesystem::path target) : target_(std::move(target)), name_(target_.string()) {
  // mkstemp gives a name nobody else uses, in the target's own folder so the
  // final rename stays on one file system.
  struct stat old {};
  const bool exists = ::stat(target_.c_str(), &old) == 0;
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
  std::filesystem::path dir = target_.parent_path();
  // Likewise a folder the user made read-only.
  struct stat folder {};
  if (::stat(dir.empty() ? "." : dir.c_str(), &folder) == 0 && (folder.st_mode & 0222) == 0) {
    fail({FailureCode::ReadOnlyFolder, 0, {}});
    return;
  }
  std::string pattern = (dir / ("." + target_.filename().string() + ".tmp-XXXXXX")).string();
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    failErrno(errno);
    return;
  }
  temp_ = pattern;
  // mkstemp creates 0600; a replaced file keeps its mode, a new one gets the
  // usual mode.
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

SafeFile::~SafeFile() { discard(); }

void SafeFile::fail(Failure failure) {
  if (failure_) return;
  if (failure.detail.empty()) failure.detail = name_;
  failure_ = std::move(failure);
}

void SafeFile::failErrno(int err, std::string detail) { fail(Failure::fromErrno(err, std::move(detail))); }

void SafeFile::write(std::string_view bytes) {
  if (failure_ || finished_ || bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failErrno(errno);
}

Status SafeFile::finish() {
  if (finished_) return failure_;
  finished_ = true;
  if (!file_) return failure_;
  // Flush, but no fsync: on a report of hundreds of megabytes it costs more
  // than writing it. The rename still never shows anyone a partial file.
  if (!failure_ && std::fflush(file_) != 0) failErrno(errno);
  if (std::fclose(file_) != 0) failErrno(errno);
  file_ = nullptr;
  return failure_;
}

Status SafeFile::commit() {
  if (committed_) return failure_;
  if (finish()) {
    discard();
    return failure_;
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    failErrno(errno);
    discard();
    return failure_;
  }
  committed_ = true;
  return {};
}

void SafeFile::discard() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!committed_ && !temp_.empty()) {
    std::error_code ec;
    std::filesystem::remove(temp_, ec);
    temp_.clear();
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
  for (OutputFile* out : {&first, &second})
    if (Status failed = out->finish()) return failed;
  for (OutputFile* out : {&first, &second})
    if (Status failed = out->commit()) return failed;
  return {};
}

}  // namespace ezg
