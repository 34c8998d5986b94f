// The fewest syncs a batch of split copies can have with the promises the
// command line keeps: every copy whole on the disk before it takes its name
// (one syncfs for all their data), unnamed while it is written (a killed
// run leaves nothing), a pair both new or both old (the old first copy kept
// under a second name until the second copy is in place), the renames held
// from the ending signals, and the names made lasting (one syncfs more).
// bench/batch times `ezgitar-cli split` against it.
//   bench_batch_floor FROM_DIR TO_DIR   copies FROM_DIR's *_13.mid and *_24.mid
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// A name for an unnamed file, or for the old first copy put aside.
bool link(int folder, const std::string& from, const std::string& to, bool byDescriptor) {
  return ::linkat(byDescriptor ? AT_FDCWD : folder, from.c_str(), folder, to.c_str(),
                  byDescriptor ? AT_SYMLINK_FOLLOW : 0) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_batch_floor FROM_DIR TO_DIR\n");
    return 2;
  }
  const std::string from = argv[1], to = argv[2];
  std::vector<std::string> names;
  DIR* d = ::opendir(from.c_str());
  if (!d) return 1;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.ends_with("_13.mid")) names.push_back(name.substr(0, name.size() - 7));
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  const int folder = ::open(to.c_str(), O_RDONLY | O_DIRECTORY);
  if (folder < 0) return 1;
  std::vector<int> written;  // two a pair
  std::vector<char> bytes(1 << 20);
  for (const std::string& base : names) {
    for (const char* copy : {"_13.mid", "_24.mid"}) {
      const int in = ::open((from + "/" + base + copy).c_str(), O_RDONLY);
      const int out = ::openat(folder, ".", O_TMPFILE | O_WRONLY, 0644);
      if (in < 0 || out < 0) return 1;
      for (ssize_t n; (n = ::read(in, bytes.data(), bytes.size())) > 0;)
        if (::write(out, bytes.data(), static_cast<std::size_t>(n)) != n) return 1;
      ::close(in);
      written.push_back(out);
    }
  }
  if (::syncfs(folder) != 0) return 1;
  sigset_t ending, saved;
  sigemptyset(&ending);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&ending, sig);
  ::sigprocmask(SIG_BLOCK, &ending, &saved);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string first = names[i] + "_13.mid", second = names[i] + "_24.mid";
    const std::string aside = ".floor-aside", temp13 = ".floor-13", temp24 = ".floor-24";
    const bool hadFirst = link(folder, first, aside, false);
    if (!link(folder, "/proc/self/fd/" + std::to_string(written[2 * i]), temp13, true) ||
        !link(folder, "/proc/self/fd/" + std::to_string(written[2 * i + 1]), temp24, true) ||
        ::renameat(folder, temp13.c_str(), folder, first.c_str()) != 0 ||
        ::renameat(folder, temp24.c_str(), folder, second.c_str()) != 0)
      return 1;
    if (hadFirst) ::unlinkat(folder, aside.c_str(), 0);
    ::close(written[2 * i]);
    ::close(written[2 * i + 1]);
  }
  ::sigprocmask(SIG_SETMASK, &saved, nullptr);
  return ::syncfs(folder) == 0 ? 0 : 1;
}
