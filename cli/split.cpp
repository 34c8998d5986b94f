// ezgitar-cli split [-o DIR] FILE...: the window's Start for many files,
// without the pause and the strip.
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/commands.h"
#include "midi/read_file.h"
#include "midi/safe_write.h"
#include "splitter/note_splitter.h"

namespace fs = std::filesystem;

namespace ezg::cli {
namespace {

void usage() { std::fprintf(stderr, "usage: ezgitar-cli split [-o DIR] FILE...\n"); }

// "song.mid" -> "song"; a name without ".mid" is kept whole.
std::string baseNameOf(const fs::path& input) {
  std::string name = input.filename().string();
  if (name.size() > 4 && name.ends_with(".mid")) name.resize(name.size() - 4);
  return name;
}

// Splits one file; prints its line and returns false when it failed.
// `split` keeps its storage from one file to the next.
bool splitOne(const std::string& input, const fs::path* outDir, SplitResult& split) {
  ReadResult read = readWholeFile(input);
  if (!read.bytes) {
    std::fprintf(stderr, "ezgitar-cli: %s: %s\n", input.c_str(), read.error.c_str());
    return false;
  }
  if (read.bytes->empty()) {
    std::fprintf(stderr, "ezgitar-cli: %s: empty file\n", input.c_str());
    return false;
  }

  splitNotes(FileBuffer(std::move(*read.bytes)), split);
  const fs::path folder = outDir ? *outDir : fs::path(input).parent_path();
  const std::string base = baseNameOf(input);
  const std::string name13 = (folder / splitOutputName13(base)).string();
  const std::string name24 = (folder / splitOutputName24(base)).string();
  WriteFailure failure;
  const OutputFactory files = [](const std::string& name) { return std::make_unique<SafeFile>(name); };
  if (!writeSplitFiles(files, name13, name24, split, failure)) {
    std::fprintf(stderr, "ezgitar-cli: %s: cannot write %s: %s\n", input.c_str(), failure.name.c_str(),
                 failure.reason.c_str());
    return false;
  }
  std::printf("%s: %zu packets -> %s, %s\n", input.c_str(), split.packets.size(), name13.c_str(),
              name24.c_str());
  return true;
}

}  // namespace

int runSplit(const Args& args) {
  fs::path outDir;
  bool haveOutDir = false;
  Args inputs;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-o") {
      if (i + 1 == args.size()) {
        std::fprintf(stderr, "ezgitar-cli: split: -o needs a folder\n");
        usage();
        return kExitFailure;
      }
      outDir = args[++i];
      haveOutDir = true;
    } else if (a == "--") {
      inputs.insert(inputs.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    } else if (a.size() > 1 && a.starts_with("-")) {
      std::fprintf(stderr, "ezgitar-cli: split: unknown option '%s'\n", a.c_str());
      usage();
      return kExitFailure;
    } else {
      inputs.push_back(a);
    }
  }
  if (inputs.empty()) {
    std::fprintf(stderr, "ezgitar-cli: split: no input file given\n");
    usage();
    return kExitFailure;
  }

  bool allDone = true;
  SplitResult split;
  for (const std::string& input : inputs) {
    // Lines go out in order even when stdout and stderr share a terminal.
    allDone = splitOne(input, haveOutDir ? &outDir : nullptr, split) && allDone;
    std::fflush(stdout);
  }
  return allDone ? kExitOk : kExitFailure;
}

}  // namespace ezg::cli
