#include "cli/plan.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <utility>

#include <fmt/format.h>

#include "cli/failure_text.h"
#include "cli/language.h"
#include "files/folder.h"
#include "files/midi_names.h"
#include "files/utf8_path.h"

namespace fs = std::filesystem;

namespace ezg::cli {

Args expandInputs(const Args& inputs, bool& warned) {
  Args files;
  for (const std::string& input : inputs) {
    std::vector<std::string> names;
    if (listPlainFiles(input, names)) {
      files.push_back(input);
      continue;
    }
    const std::vector<std::string> sorted = sortedMidiNames(std::move(names));
    if (sorted.empty()) {
      printLine(stderr, fmt::format("ezgitar-cli: {}: {}\n", input, tr("no .mid file in this folder")));
      warned = true;
    }
    for (const std::string& name : sorted) files.push_back(utf8Of(pathOf(input) / pathOf(name)));
  }
  return files;
}

// Every output is named before anything runs, so that what is written does
// not hang on which job gets there first. An input that another input's
// output names (an old copy) is skipped; one that an output reaches only
// through a link is not: that output is refused when it is written.
std::vector<Job> planJobs(const Args& inputs, const OutputsOf& outputsOf) {
  std::vector<fs::path> keys, nameKeys;
  std::vector<std::vector<std::pair<fs::path, fs::path>>> outputs(inputs.size());  // key, as named
  std::map<fs::path, std::size_t> anyWriter;  // output's name -> the first input writing it
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    keys.push_back(sameFileKey(pathOf(inputs[i])));
    nameKeys.push_back(sameNameKey(pathOf(inputs[i])));
    for (const fs::path& o : outputsOf(inputs[i])) {
      outputs[i].emplace_back(sameFileKey(o), o);
      anyWriter.emplace(sameNameKey(o), i);
    }
  }
  std::vector<Job> jobs;
  std::map<fs::path, std::size_t> named, writer;  // input -> its first naming; output -> the input writing it
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    Job& job = jobs.emplace_back(Job{inputs[i], {}, Outcome::Done});
    auto skip = [&](Outcome outcome, const std::string& why) {
      const std::string line = fmt::format("{}: {}\n", inputs[i], trf("skipped: {}", why));
      job.skipped = outcome == Outcome::Done ? line : "ezgitar-cli: " + line;
      job.outcome = outcome;
    };
    const auto [first, fresh] = named.emplace(keys[i], i);
    const auto& mine = outputs[i];
    const auto self = std::find_if(mine.begin(), mine.end(), [&](const auto& o) { return o.first == keys[i]; });
    const auto byOther = anyWriter.find(nameKeys[i]);
    const auto clash = std::find_if(mine.begin(), mine.end(), [&](const auto& o) { return writer.contains(o.first); });
    // The window takes a file named just ".mid" for no selection.
    if (const std::string leaf = utf8Of(pathOf(inputs[i]).filename()); leaf.size() == 4 && baseNameOf(leaf).empty())
      skip(Outcome::Warned, tr("no name before .mid"));
    else if (const std::string& earlier = inputs[first->second]; !fresh)
      skip(Outcome::Done, earlier == inputs[i] ? std::string(tr("named twice")) : trf("the same file as {}", earlier));
    else if (self != mine.end())
      skip(Outcome::Failed,
           trf("the output {} is this input file itself; nothing is written for it", utf8Of(self->second)));
    else if (byOther != anyWriter.end())
      skip(Outcome::Done, trf("{} writes it in this run", inputs[byOther->second]));
    else if (clash != mine.end())
      skip(Outcome::Failed, trf("{} writes {} too", inputs[writer[clash->first]], utf8Of(clash->first.filename())));
    else
      for (const auto& o : mine) writer.emplace(o.first, i);
  }
  return jobs;
}

bool outputFolderUsable(const fs::path& path) {
  const std::string folder = utf8Of(path);
  const Status failed = checkFolder(folder);
  if (!failed) return true;
  printLine(stderr, fmt::format("ezgitar-cli: {}: {}\n", folder,
                                failed->sysError == ENOENT ? std::string(tr("no such folder")) : describe(*failed)));
  return false;
}

}  // namespace ezg::cli
