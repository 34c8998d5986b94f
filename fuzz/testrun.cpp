// Any bytes through the test run: it never reads past the end, warns only at
// note status bytes in increasing order, and ends one past the last byte.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "midi/bytes.h"
#include "testrun/test_run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ezg::FileBuffer file(ezg::Bytes(data, data + size));
  std::vector<std::int64_t> at;
  const std::int64_t end = ezg::TestEt(file, [&](std::int64_t p) { at.push_back(p); });
  for (std::size_t i = 0; i < at.size(); ++i) {
    if (!file.has(at[i])) std::abort();
    const std::uint8_t status = file.readByte(at[i]);
    if (status < 0x80 || status > 0x9F) std::abort();
    if (i > 0 && at[i] <= at[i - 1]) std::abort();
  }
  if (size >= 23 && end < static_cast<std::int64_t>(size) + 1) std::abort();
  return 0;
}
