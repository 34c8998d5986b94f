// Any bytes as a loaded MIDI file through the report. Properties: the report
// warns exactly where the test run warns; the decimal separator changes
// nothing but itself; the report ends with its two blank lines; and the
// file sink writes the same bytes as the memory sink.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "midi/bytes.h"
#include "files/safe_write.h"
#include "files/sink.h"
#include "report/report.h"
#include "testrun/test_run.h"

namespace {

std::vector<std::int64_t> warningsOf(const ezg::FileBuffer& file, char separator, std::string& text) {
  std::vector<std::int64_t> at;
  ezg::MemorySink sink;
  ezg::TxtYaz(file, "fuzz.txt", ezg::standardNoteNames(), separator, sink, [&](std::int64_t p) { at.push_back(p); });
  text = sink.take();
  return at;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ezg::FileBuffer file(ezg::Bytes(data, data + size));

  std::string dotText, commaText;
  const auto dot = warningsOf(file, '.', dotText);
  const auto comma = warningsOf(file, ',', commaText);
  std::vector<std::int64_t> tested;
  ezg::TestEt(file, [&](std::int64_t p) { tested.push_back(p); });

  if (dot != tested || comma != tested) std::abort();
  if (dotText.size() != commaText.size()) std::abort();
  for (std::size_t i = 0; i < dotText.size(); ++i)
    if (dotText[i] != commaText[i] && !(dotText[i] == '.' && commaText[i] == ',')) std::abort();
  if (dotText.size() < 4 || dotText.compare(dotText.size() - 4, 4, "\r\n\r\n") != 0) std::abort();

  // Through a real file now and then: files are slow, the property is not.
  if (size % 61 == 7) {
    static const auto path =
        std::filesystem::temp_directory_path() / ("ezgitar-fuzz-report-" + std::to_string(::getpid()) + ".txt");
    ezg::SafeFile out(path);
    ezg::TxtYaz(file, "fuzz.txt", ezg::standardNoteNames(), '.', out, [](std::int64_t) {});
    if (out.commit()) std::abort();
    std::ifstream in(path, std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (written != dotText) std::abort();
    std::filesystem::remove(path);
  }
  return 0;
}
