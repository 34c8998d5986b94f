#include "midi/safe_write.h"

#include <random>

namespace ezg {

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

void SafeFile::fail(Failure failure) {
  if (failure_) return;
  if (failure.detail.empty()) failure.detail = name_;
  failure_ = std::move(failure);
}

void SafeFile::failErrno(int err) { fail(Failure::fromErrno(err)); }

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
