// The hidden buttons: the text report and the test run.
#include "app/form1.h"
#include "app/messages.h"
#include "report/report.h"
#include "testrun/test_run.h"

namespace ezg {
namespace {

constexpr const char* kNothingLoaded = "Önce Start ile bir MIDI dosyası yükleyin.";

}  // namespace

void Form1::TxtYaz() {
  if (!loaded_.loaded()) {
    tell(kNothingLoaded);
    return;
  }
  view_.setPointer(Pointer::Hourglass);
  const std::string name = reportFileName(loaded_.baseName);
  // Nothing appears under the name until the whole report is written, so an
  // old report survives a failed run.
  auto out = platform_.createOutput(name);
  // A report that cannot be written is refused before the walk, so no
  // warning is shown for a file that will not exist.
  Status failed = out->status();
  if (!failed) {
    ezg::TxtYaz(loaded_.buffer, name, noteNames_, platform_.decimalSeparator(), *out,
                [this](std::int64_t) { tell(kTickWarningText); });
    failed = out->commit();
  }
  view_.setPointer(Pointer::Default);
  if (failed)
    tell(cannotWriteMessage(name, *failed));
  else
    loaded_.currentFileName = name;
}

void Form1::TestEt() {
  if (!loaded_.loaded()) {
    tell(kNothingLoaded);
    return;
  }
  ezg::TestEt(loaded_.buffer, [this](std::int64_t) { tell(kTickWarningText); });
}

}  // namespace ezg
