#include "tests/support/fake_platform.h"

#include <cerrno>

namespace ezg {
namespace {

// Passes bytes on until its budget is spent, then finds the disk full.
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
  void patch(std::uint64_t offset, std::uint8_t value) override {
    if (!failed_) real_->patch(offset, value);
  }
  Status finish() override { return failed_ ? full() : real_->finish(); }
  Status commit() override { return failed_ ? full() : real_->commit(); }
  Status status() const override { return failed_ ? full() : real_->status(); }
  const std::string& name() const override { return real_->name(); }

 private:
  Status full() const { return Failure{FailureCode::DiskFull, ENOSPC, real_->name()}; }

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

Status FakePlatform::scanFolder(const std::string& pattern, std::vector<std::string>& names) {
  if (scanFailure) return Failure{*scanFailure, 0, "."};
  return FsPlatform::scanFolder(pattern, names);
}

}  // namespace ezg
