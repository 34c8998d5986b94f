#include "cli/spool.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "files/utf8_path.h"

namespace ezg::cli {
namespace {

// Lines of files not yet printed wait in memory up to this much a stream,
// then in a temporary file.
constexpr std::size_t kHeldBound = std::size_t{128} << 10;

// Errors stay on the stream, for the caller to check once per file.
void put(std::FILE* to, std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), to);
}

}  // namespace

std::string shownLine(std::string_view line) {
  const bool ended = line.ends_with('\n');
  if (ended) line.remove_suffix(1);
  return printable(line) + (ended ? "\n" : "");
}

Spool Spool::direct(std::FILE* to, std::function<void()> beforeFirst) {
  Spool s(to, true);
  s.beforeFirst_ = std::move(beforeFirst);
  return s;
}

Spool Spool::held(std::FILE* to, std::function<bool()> awaitTurn) {
  Spool s(to, false);
  s.awaitTurn_ = std::move(awaitTurn);
  return s;
}

// Plain write(2): what did not reach the file is known to the byte, and
// stays in memory.
std::size_t Spool::spill(std::string_view text) {
  if (spillBroken_ || text.empty()) return 0;
  if (!spill_) spill_.reset(std::tmpfile());
  if (!spill_) {
    spillBroken_ = true;
    return 0;
  }
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(::fileno(spill_.get()), text.data() + done, text.size() - done);
    if (n > 0)
      done += static_cast<std::size_t>(n);
    else if (n < 0 && errno == EINTR)
      continue;
    else {
      spillBroken_ = true;
      break;
    }
  }
  spilled_ += done;
  return done;
}

void Spool::write(std::string_view text) {
  if (!direct_ && held_.size() + text.size() > kHeldBound) {
    held_.erase(0, spill(held_));
    // A text past the bound on its own follows what is held into the spill.
    if (held_.empty() && text.size() > kHeldBound) text.remove_prefix(spill(text));
    if (held_.size() + text.size() > kHeldBound) {
      if (!awaitTurn_()) return;  // the run is ending
      copyOut();
      direct_ = true;
    }
  }
  if (direct_) {
    if (beforeFirst_) std::exchange(beforeFirst_, nullptr)();
    put(to_, text);
    return;
  }
  if (held_.capacity() < kHeldBound) held_.reserve(kHeldBound);
  held_ += text;
}

void Spool::copyOut() {
  if (direct_) return;
  if (spill_) {
    char chunk[1 << 16];
    std::FILE* from = spill_.get();
    // Written past the stream's buffer, read back through it from the start.
    if (std::fseek(from, 0, SEEK_SET) != 0) lostErrno_ = errno ? errno : EIO;
    for (std::uint64_t at = 0; !lostErrno_ && at < spilled_;) {
      const std::size_t n = std::fread(chunk, 1, std::min<std::uint64_t>(sizeof chunk, spilled_ - at), from);
      if (n == 0) {
        lostErrno_ = std::ferror(from) && errno ? errno : EIO;
        break;
      }
      put(to_, {chunk, n});
      at += n;
    }
    spill_.reset();
    spilled_ = 0;
  }
  put(to_, held_);
  std::string().swap(held_);
}

void FileReport::fail(const Failure& why, std::string_view text) {
  outcome = Outcome::Failed;
  const bool outOfFiles = why.sysError == EMFILE || why.sysError == ENFILE;
  if (outOfFiles && mayRunAgain_ && !out_.printedDirectly() && !err_.printedDirectly())
    runAgain_ = true;
  else
    error(text);
}

void printLine(std::FILE* to, std::string_view line) {
  const std::string shown = shownLine(line);
  std::fwrite(shown.data(), 1, shown.size(), to);
}

}  // namespace ezg::cli
