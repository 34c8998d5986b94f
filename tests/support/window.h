// Window tests: a fresh program folder on the fake platform, Form1 on a
// view that records what it shows, and helpers to start it and press Start.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>

#include "tests/support/fake_platform.h"
#include "app/form1.h"
#include "app/view.h"
#include "splitter/strip.h"
#include "tests/support/temp_dir.h"
#include "fixtures/midi_builder.h"

namespace ezg::testing {

using Messages = std::vector<std::string>;
using Pointers = std::vector<Pointer>;

// A song of `count` plain notes, a packet each.
inline Bytes notes(std::size_t count) { return build::makeMidi(std::vector<build::Note>(count)); }

// Answers Form1's questions as the test sets them, and lets a test act while
// a box is up or the pump runs.
struct FakeView final : View {
  std::string caption;
  std::map<Control, Place> places;
  std::map<Control, bool> visible;
  std::map<Control, Colour> colours;
  std::vector<std::string> entries;  // List_MID as shown
  int selected = -1;
  std::vector<int> strip;  // source rows copied, in order
  std::vector<Repaint> repaints;
  std::vector<Pointer> pointers;
  std::vector<std::string> messages;
  int pumps = 0, closes = 0;
  std::size_t boxesEnded = 0;
  std::function<void(int pass)> onPump;
  std::function<void()> onMessage;

  // Selects the entry that shows `name`, as a user's click would.
  void select(const std::string& name) {
    selected = static_cast<int>(std::find(entries.begin(), entries.end(), name) - entries.begin());
    if (selected == static_cast<int>(entries.size())) selected = -1;
  }

  void setCaption(const std::string& text) override { caption = text; }
  void place(Control c, const Place& where) override { places[c] = where; }
  void setVisible(Control c, bool v) override { visible[c] = v; }
  void setBackColour(Control c, Colour colour) override { colours[c] = colour; }
  void setListEntry(int i, const std::string& name) override {
    if (static_cast<std::size_t>(i) == entries.size()) entries.emplace_back();
    entries.at(static_cast<std::size_t>(i)) = name;
  }
  int selectedIndex() override { return selected; }
  void copyStrip(int row, Repaint repaint) override {
    strip.push_back(row);
    repaints.push_back(repaint);
  }
  void setPointer(Pointer p) override { pointers.push_back(p); }
  void messageBox(const std::string& text) override {
    messages.push_back(text);
    if (onMessage) onMessage();
  }
  void endMessageBox() override { ++boxesEnded; }
  void pumpEvents() override {
    ++pumps;
    if (onPump) onPump(pumps);
  }
  void closeWindow() override { ++closes; }
};

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() { platform.programFolderPath = dir.path().string(); }
  // Start-up moves into the program folder; leave it before it is removed.
  ~WindowTest() override { std::filesystem::current_path(saved); }

  void start(bool started = true) {
    view = FakeView();
    form.emplace(platform, view);
    EXPECT_EQ(form->startUp(), started);
  }
  void startWith(const std::string& entry) {
    view.select(entry);
    form->Command3_Click();
  }

  std::filesystem::path saved = std::filesystem::current_path();
  TempDir dir;
  FakePlatform platform;
  FakeView view;
  std::optional<Form1> form;
};

}  // namespace ezg::testing
