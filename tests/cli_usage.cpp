#include <gtest/gtest.h>

#include "tests/support/run_command.h"

namespace ezg {
namespace {

using testing::runCommand;

const std::string kCli = EZGITAR_CLI;

TEST(CliUsage, HelpAndVersionSucceed) {
  auto help = runCommand(kCli + " --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: ezgitar-cli"), std::string::npos);
  for (const char* cmd : {"split", "report", "test"}) EXPECT_NE(help.out.find(cmd), std::string::npos) << cmd;
  EXPECT_TRUE(help.err.empty());

  auto version = runCommand(kCli + " --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("ezgitar-cli ", 0), 0u);
  EXPECT_EQ(version.out.back(), '\n');
}

TEST(CliUsage, MistakesGiveOneLineAndStatusTwo) {
  for (const char* args : {" frobnicate", " --frobnicate", ""}) {
    auto r = runCommand(kCli + args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_TRUE(r.out.empty()) << args;
    ASSERT_FALSE(r.err.empty()) << args;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
    EXPECT_EQ(r.err.rfind("ezgitar-cli: ", 0), 0u) << r.err;
  }
}

}  // namespace
}  // namespace ezg
