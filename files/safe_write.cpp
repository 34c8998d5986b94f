#include "files/safe_write.h"

#include <cstdio>
#include <mutex>
#include <random>
#include <set>

#include "files/folder.h"
#include "files/utf8_path.h"

namespace ezg {
namespace {

// Registered before the work starts, read by every job.
std::mutex gKeptMutex;
std::set<FileId> gKept;

bool isKept(const FileId& id) {
  std::lock_guard lock(gKeptMutex);
  return gKept.contains(id);
}

}  // namespace

void keepFromLinks(const std::filesystem::path& name) {
  if (const std::optional<FileId> id = fileIdOf(name)) {
    std::lock_guard lock(gKeptMutex);
    gKept.insert(*id);
  }
}

void keepProgramFromLinks() {
  const std::string folder = executableFolder();
  if (folder.empty()) return;
  for (const char* own : {"pars.bin", "ezgitar", "ezgitar-cli", "ezgitar.exe", "ezgitar-cli.exe"})
    keepFromLinks(std::filesystem::path(folder) / own);
}

void keepOnlyFromLinks(const std::vector<std::filesystem::path>& names) {
  {
    std::lock_guard lock(gKeptMutex);
    gKept.clear();
  }
  keepProgramFromLinks();
  for (const std::filesystem::path& name : names) keepFromLinks(name);
}

std::string SafeFile::freshLeaf() {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::string leaf = ".ezgitar-";
  for (int i = 0; i < 6; ++i) leaf += kChars[random() % (sizeof kChars - 1)];
  return leaf + ".tmp";
}

void SafeFile::fail(Failure failure) {
  if (failure_) return;
  if (failure.detail.empty()) failure.detail = name_;
  failure_ = std::move(failure);
}

void SafeFile::failErrno(int err) { fail(Failure::fromErrno(err)); }

// A hard link is replaced by name and leaves its twin alone: only a
// followed link can lead a name to a kept file's contents.
void SafeFile::refuseKeptTarget() {
  if (followed_ && exists_ && isKept(target_)) fail({FailureCode::KeptFile, 0, {}});
}

Status SafeFile::commit() {
  if (committed_) return failure_;
  if (finish()) {
    discard();
    return failure_;
  }
  return guarded([this] {
    if (readyToMove() && moveIn()) {
      committed_ = true;
      syncFolder();
    }
    discardHeld();
    return failure_;
  });
}

// The old first file keeps a second name of ours until the second copy has
// its name, so that a failed second move can be undone. One sync of the
// folder makes both names last.
Status replacePair(SafeFile& a, SafeFile& b) {
  if (a.exists_ && b.exists_ && a.target_ == b.target_ && (a.followed_ || b.followed_)) {
    b.fail({FailureCode::SameFileTwice, 0, {}});
    return b.failure_;
  }
  return SafeFile::guarded([&]() -> Status {
    std::string aside;
    Status result = [&]() -> Status {
      if (!a.readyToMove()) return a.failure_;
      if (!b.readyToMove()) return b.failure_;
      if (a.exists_ && (aside = a.keepAside()).empty()) return a.failure_;
      if (!a.moveIn()) return a.failure_;
      if (!b.moveIn()) {
        // Put back, the second name is gone; not put back, it holds the
        // only copy of the old file and stays.
        a.moveBack(aside);
        aside.clear();
        return b.failure_;
      }
      a.committed_ = b.committed_ = true;
      return Status{};
    }();
    a.removeLeaf(aside);
    a.discardHeld();
    b.discardHeld();
    // Both copies are in place by now: a sync that fails cannot take that
    // back, so it does not turn the pair into a failure.
    if (a.committed_) {
      b.syncFolder();
      if (a.folder_ != b.folder_) a.syncFolder();
    }
    return result;
  });
}

Status commitBoth(OutputFile& first, OutputFile& second) {
  // Outputs that are not committed remove their temporary files when they
  // go out of scope, so an early return leaves both targets as they were.
  for (OutputFile* out : {&first, &second}) out->startWriteback();
  for (OutputFile* out : {&first, &second})
    if (Status failed = out->finish()) return failed;
  SafeFile* const a = first.file();
  SafeFile* const b = second.file();
  if (!a || !b) {
    // Outputs that are not files have no old file to put back.
    if (Status failed = first.commit()) return failed;
    return second.commit();
  }
  return replacePair(*a, *b);
}

Status writeFileSafely(const std::filesystem::path& target, std::string_view bytes) {
  SafeFile out(target);
  out.write(bytes);
  return out.commit();
}

bool writeOrSay(const char* program, const std::filesystem::path& path, std::string_view bytes) {
  const Status failed = writeFileSafely(path, bytes);
  if (failed)
    std::fprintf(stderr, "%s: %s: cannot write (%s)\n", program, printable(utf8Of(path)).c_str(),
                 failed->sysError ? std::string(sysErrorName(failed->sysError)).c_str() : "refused");
  return !failed;
}

}  // namespace ezg
