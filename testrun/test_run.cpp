#include "testrun/test_run.h"

namespace ezg {
namespace {

class WarningsOnly final : public QuietWalk {
 public:
  explicit WarningsOnly(const TickWarning& warn) : warn_(warn) {}
  void tooLong(std::int64_t statusPosition) override {
    if (warn_) warn_(statusPosition);
  }

 private:
  const TickWarning& warn_;
};

}  // namespace

std::int64_t TestEt(const FileBuffer& file, const TickWarning& warn) {
  WarningsOnly listener(warn);
  return walkEvents(file, listener);
}

}  // namespace ezg
