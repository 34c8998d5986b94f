// Window tests: a fresh program folder on the fake platform, Form1 on a
// recording view, and helpers to start it and press Start.
#pragma once

#include <gtest/gtest.h>

#include <optional>

#include "app/fake_platform.h"
#include "app/form1.h"
#include "splitter/strip.h"
#include "tests/support/fake_view.h"
#include "tests/support/temp_dir.h"
#include "tools/midi_builder.h"

namespace ezg::testing {

using Messages = std::vector<std::string>;
using Pointers = std::vector<Pointer>;

// A song of `count` plain notes, a packet each.
inline Bytes notes(std::size_t count) { return build::makeMidi(std::vector<build::Note>(count)); }

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() { platform.programFolderPath = dir.path().string(); }
  // Start-up moves into the program folder; leave it before it is removed.
  ~WindowTest() override { std::filesystem::current_path(saved); }

  Form1& start(bool started = true) {
    form.emplace(platform, view);
    EXPECT_EQ(form->startUp(), started);
    return *form;
  }
  void startWith(const std::string& entry) {
    view.select(entry);
    ASSERT_NE(view.selected, -1) << entry;
    form->Command3_Click();
  }

  std::filesystem::path saved = std::filesystem::current_path();
  TempDir dir;
  FakePlatform platform;
  FakeView view;
  std::optional<Form1> form;
};

}  // namespace ezg::testing
