// Shared by the report and test-run tests: run the report into memory.
#pragma once

#include <initializer_list>

#include "files/sink.h"
#include "report/report.h"
#include "fixtures/midi_builder.h"

namespace ezg::testing {

struct ReportRun {
  std::string text;
  std::vector<std::int64_t> warnings;
  std::int64_t end = 0;
};

inline ReportRun runReport(const Bytes& bytes, char separator = '.', std::string_view name = "song.txt") {
  ReportRun r;
  MemorySink sink;
  r.end = TxtYaz(FileBuffer(bytes), name, standardNoteNames(), separator, sink,
                 [&](std::int64_t p) { r.warnings.push_back(p); });
  r.text = sink.take();
  return r;
}

// The walk's lines: after the events title, without the two closing blank
// lines.
inline std::string walkOf(const std::string& report) {
  constexpr std::string_view kTitle = "----------EVENTS--------------\r\n";
  const auto at = report.find(kTitle);
  if (at == std::string::npos || !report.ends_with("\r\n\r\n")) return "<no walk>";
  return report.substr(at + kTitle.size(), report.size() - at - kTitle.size() - 4);
}

// Lines joined with CR LF, each one closed.
inline std::string crlf(std::initializer_list<std::string_view> lines) {
  std::string s;
  for (auto l : lines) (s += l) += "\r\n";
  return s;
}

}  // namespace ezg::testing
