#include "testrun/test_run.h"

namespace ezg {
namespace {

struct WarningsOnly : QuietWalk {
  const TickWarning& warn;
  void tooLong(std::int64_t statusPosition) {
    if (warn) warn(statusPosition);
  }
};

}  // namespace

std::int64_t TestEt(const FileBuffer& file, const TickWarning& warn) {
  WarningsOnly listener{{}, warn};
  return walkEvents(file, listener);
}

}  // namespace ezg
