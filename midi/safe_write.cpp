#include "midi/safe_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace ezg {
namespace {

constexpr std::size_t kBufferSize = 1 << 16;

std::string reason(int err) { return std::generic_category().message(err); }

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

SafeFile::SafeFile(std::filesystem::path target) : target_(std::move(target)) {
  // mkstemp gives a name nobody else uses, in the target's own folder so the
  // final rename stays on one file system.
  struct stat old {};
  const bool exists = ::stat(target_.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) {
    fail("a folder has that name");
    return;
  }
  // A file the user made read-only stays as it is, even for root, who could
  // otherwise rename over it.
  if (exists && (old.st_mode & 0222) == 0) {
    fail("the file is read-only");
    return;
  }
  std::filesystem::path dir = target_.parent_path();
  // Likewise a folder the user made read-only.
  struct stat folder {};
  if (::stat(dir.empty() ? "." : dir.c_str(), &folder) == 0 && (folder.st_mode & 0222) == 0) {
    fail("the folder is read-only");
    return;
  }
  std::string pattern = (dir / ("." + target_.filename().string() + ".tmp-XXXXXX")).string();
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    fail(reason(errno));
    return;
  }
  temp_ = pattern;
  // mkstemp creates 0600; a replaced file keeps its mode, a new one gets the
  // usual mode.
  ::fchmod(fd, exists ? (old.st_mode & 07777) : (0666 & ~processUmask()));
  file_ = ::fdopen(fd, "wb");
  if (!file_) {
    fail(reason(errno));
    ::close(fd);
    return;
  }
  buffer_ = std::make_unique<char[]>(kBufferSize);
  std::setvbuf(file_, buffer_.get(), _IOFBF, kBufferSize);
}

SafeFile::~SafeFile() { discard(); }

void SafeFile::fail(std::string what) {
  if (error_.empty()) error_ = what.empty() ? "write failed" : std::move(what);
}

void SafeFile::write(std::string_view bytes) {
  if (!ok() || finished_ || bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) fail(reason(errno));
}

bool SafeFile::finish() {
  if (finished_) return ok();
  finished_ = true;
  if (!file_) return false;
  // Flush, but no fsync: on a report of hundreds of megabytes it costs more
  // than writing it. The rename still never shows anyone a partial file.
  if (ok() && std::fflush(file_) != 0) fail(reason(errno));
  if (std::fclose(file_) != 0) fail(reason(errno));
  file_ = nullptr;
  return ok();
}

bool SafeFile::commit() {
  if (committed_) return ok();
  if (!finish()) {
    discard();
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(temp_, target_, ec);
  if (ec) {
    fail(ec.message());
    discard();
    return false;
  }
  committed_ = true;
  return true;
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

bool writeFileSafely(const std::filesystem::path& target, std::string_view bytes, std::string* error) {
  SafeFile out(target);
  out.write(bytes);
  bool done = out.commit();
  if (!done && error) *error = out.error();
  return done;
}

}  // namespace ezg
