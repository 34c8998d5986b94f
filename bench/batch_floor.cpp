// The fewest syncs a batch of split copies can have with the promises the
// command line keeps: every copy whole on the disk before it takes its name
// (one syncfs for all their data), the renames held from the ending
// signals, and the names made lasting (one syncfs more). bench/batch times
// `ezgitar-cli split` against it.
//   bench_batch_floor FROM_DIR TO_DIR   copies FROM_DIR's *_13.mid and *_24.mid
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

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
    if (name.ends_with("_13.mid") || name.ends_with("_24.mid")) names.push_back(name);
  }
  ::closedir(d);
  std::vector<std::pair<std::string, std::string>> moves;
  std::vector<char> bytes(1 << 20);
  for (const std::string& name : names) {
    const int in = ::open((from + "/" + name).c_str(), O_RDONLY);
    const std::string temp = to + "/.floor-" + name;
    const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) return 1;
    for (ssize_t n; (n = ::read(in, bytes.data(), bytes.size())) > 0;)
      if (::write(out, bytes.data(), static_cast<std::size_t>(n)) != n) return 1;
    ::close(in);
    ::close(out);
    moves.emplace_back(temp, to + "/" + name);
  }
  const int folder = ::open(to.c_str(), O_RDONLY | O_DIRECTORY);
  if (folder < 0 || ::syncfs(folder) != 0) return 1;
  sigset_t ending, saved;
  sigemptyset(&ending);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&ending, sig);
  ::sigprocmask(SIG_BLOCK, &ending, &saved);
  for (const auto& [temp, name] : moves)
    if (::rename(temp.c_str(), name.c_str()) != 0) return 1;
  ::sigprocmask(SIG_SETMASK, &saved, nullptr);
  return ::syncfs(folder) == 0 ? 0 : 1;
}
