// The window's failure texts: one Turkish reason per code, the system's
// words in none of them.
#include <gtest/gtest.h>

#include <set>

#include "app/messages.h"

namespace ezg {
namespace {

TEST(FailureMessages, EveryCodeHasItsOwnTurkishReason) {
  std::set<std::string> seen;
  for (int c = 0; c <= static_cast<int>(FailureCode::Other); ++c) {
    const Failure f{static_cast<FailureCode>(c), 5, "x.mid"};
    const std::string why = turkishReason(f);
    EXPECT_TRUE(!why.empty() && seen.insert(why).second) << c << ": " << why;
    // Only "other" names the system's error; the rest are wholly ours.
    EXPECT_EQ(why.find("EIO") != std::string::npos, f.code == FailureCode::Other) << why;
  }
}

}  // namespace
}  // namespace ezg
