#include "app/fake_platform.h"

#include <cerrno>

namespace ezg {
namespace {

// Passes bytes on until its budget is spent, then fails like a full disk.
class FailingOutput final : public OutputFile {
 public:
  FailingOutput(std::unique_ptr<OutputFile> real, std::size_t budget) : real_(std::move(real)), budget_(budget) {}
  void write(std::string_view bytes) override {
    if (failed_) return;
    if (bytes.size() > budget_) {
      real_->write(bytes.substr(0, budget_));
      failed_ = true;
      return;
    }
    budget_ -= bytes.size();
    real_->write(bytes);
  }
  bool finish() override { return !failed_ && real_->finish(); }
  bool commit() override { return !failed_ && real_->commit(); }
  bool ok() const override { return !failed_ && real_->ok(); }
  std::string error() const override { return failed_ ? "No space left on device" : real_->error(); }

 private:
  std::unique_ptr<OutputFile> real_;
  std::size_t budget_;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<OutputFile> FakePlatform::createOutput(const std::string& name) {
  auto real = FsPlatform::createOutput(name);
  if (!failOutputName.empty() && name == failOutputName)
    return std::make_unique<FailingOutput>(std::move(real), failAfterBytes);
  return real;
}

}  // namespace ezg
