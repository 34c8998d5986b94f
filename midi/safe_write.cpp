#include "midi/safe_write.h"

#include <random>
#include <tuple>

#include "midi/safe_write_detail.h"

namespace ezg {
using namespace detail;
namespace {

constexpr std::string_view kRecordHeader = "ezgitar pair 1\n";

bool plainLeaf(const std::string& leaf) {
  return !leaf.empty() && leaf != "." && leaf != ".." && leaf.find_first_of("/\\") == std::string::npos;
}

// Puts a pair that a killed run was replacing back to its old files, or
// lets it stand when both new names were in place.
void undoPair(FolderNames& folder, const std::string& record) {
  const std::string text = folder.read(record);
  std::string_view rest = text;
  if (!rest.starts_with(kRecordHeader)) return;
  rest.remove_prefix(kRecordHeader.size());
  std::vector<std::string> lines;
  for (std::size_t end; (end = rest.find('\n')) != std::string_view::npos; rest.remove_prefix(end + 1))
    lines.emplace_back(rest.substr(0, end));
  if (lines.size() != 5) return;
  const auto& [aside, leaf1, temp1, temp2, leaf2] = std::tie(lines[0], lines[1], lines[2], lines[3], lines[4]);
  if ((!aside.empty() && !isOurs(aside, kTempPrefix)) || !plainLeaf(leaf1) || !plainLeaf(leaf2) ||
      !isOurs(temp1, kTempPrefix) || !isOurs(temp2, kTempPrefix))
    return;
  if (folder.exists(temp2)) {
    // The second copy never took its name: the first goes back to its old
    // file, or to none when it had none.
    if (!aside.empty()) folder.rename(aside, leaf1);
    else if (!folder.exists(temp1)) folder.remove(leaf1);
  }
  for (const std::string* leaf : {&aside, &temp1, &temp2})
    if (!leaf->empty()) folder.remove(*leaf);
  folder.remove(record);
}

}  // namespace

std::string detail::freshName(std::string_view prefix) {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::string name(prefix);
  while (name.size() < kOurNameLength) name += kChars[random() % (sizeof kChars - 1)];
  return name;
}

bool detail::isOurs(std::string_view name, std::string_view prefix) {
  return name.size() == kOurNameLength && name.starts_with(prefix);
}

std::string detail::pairRecord(const std::string& aside, const std::string& leaf1, const std::string& temp1,
                               const std::string& temp2, const std::string& leaf2) {
  std::string text(kRecordHeader);
  for (const std::string* line : {&aside, &leaf1, &temp1, &temp2, &leaf2}) text += *line + "\n";
  return text;
}

void detail::settleLeftovers(FolderNames& folder, std::vector<std::string> names) {
  std::vector<std::string> records, temps;
  for (std::string& name : names) {
    if (isOurs(name, kRecordPrefix)) records.push_back(std::move(name));
    else if (isOurs(name, kTempPrefix)) temps.push_back(std::move(name));
  }
  if (records.empty() && temps.empty()) return;
  for (const std::string& record : records) undoPair(folder, record);
  for (const std::string& temp : temps)
    if (folder.unheld(temp)) folder.remove(temp);
  folder.sync();
}

void SafeFile::fail(Failure failure) {
  if (failure_) return;
  if (failure.detail.empty()) failure.detail = name_;
  failure_ = std::move(failure);
}

void SafeFile::failErrno(int err) { fail(Failure::fromErrno(err)); }

Status SafeFile::commit() {
  if (committed_) return failure_;
  if (finish()) {
    discard();
    return failure_;
  }
  return holdingFolders(*this, nullptr, [this](bool) {
    if (readyToMove() && moveIn()) {
      committed_ = true;
      syncFolder();
    }
    discardHeld();
    return failure_;
  });
}

// The old first file keeps a second name, and the record says how to undo
// the pair, until the second copy has its name.
Status replacePair(SafeFile& a, SafeFile& b) {
  return SafeFile::holdingFolders(a, &b, [&](bool oneFolder) {
    std::string aside, record;
    bool undone = true;
    auto replace = [&]() -> Status {
      if (!a.readyToMove()) return a.failure_;
      if (!b.readyToMove()) return b.failure_;
      if (a.targetExists() && (aside = a.keepAside()).empty()) return a.failure_;
      // Only a pair in one folder gets a record; across folders a crash can
      // leave it half replaced.
      if (oneFolder &&
          (record = a.writeRecord(pairRecord(aside, a.leaf_, a.tempLeaf_, b.tempLeaf_, b.leaf_))).empty())
        return a.failure_;
      if (!a.moveIn()) return a.failure_;
      if (!b.moveIn()) {
        undone = a.moveBack(aside);
        return b.failure_;
      }
      a.committed_ = b.committed_ = true;
      // Both names on the disk before the old file and the record go.
      b.syncFolder();
      if (!oneFolder) a.syncFolder();
      return Status{};
    };
    Status result = replace();
    // An undo that failed leaves the old file and the record for the next run.
    if (undone) {
      a.removeLeaf(aside);
      a.removeLeaf(record);
    }
    a.discardHeld();
    b.discardHeld();
    a.syncFolder();
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

}  // namespace ezg
