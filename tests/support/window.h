// Window tests: one QApplication per test program, and a fresh program
// folder on the fake platform with helpers to start the window and pick rows.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include "app/fake_platform.h"
#include "app/form1.h"
#include "splitter/strip.h"
#include "tests/support/temp_dir.h"
#include "tools/midi_builder.h"

namespace ezg::testing {

using Messages = std::vector<std::string>;

// A song of `count` plain notes, a packet each.
inline Bytes notes(std::size_t count) { return build::makeMidi(std::vector<build::Note>(count)); }

inline void qtApp() {
  static int argc = 1;
  static char name[] = "ezgitar-tests";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
}

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() { qtApp(); platform.programFolderPath = dir.path().string(); }
  // Start-up moves into the program folder; leave it before it is removed.
  ~WindowTest() override { std::filesystem::current_path(saved); }

  std::unique_ptr<Form1> start(bool started = true) {
    auto form = std::make_unique<Form1>(platform);
    EXPECT_EQ(form->startUp(), started);
    return form;
  }
  static void select(Form1& form, const std::string& entry) {
    auto found = form.List_MID->findItems(QString::fromStdString(entry), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << entry;
    form.List_MID->setCurrentItem(found.front());
  }
  // Whether the strip window shows the image from this source row down.
  static bool stripAt(Form1& form, int row) {
    return form.Picture2->surface() == form.Picture1->surface().copy(0, row, 50, kStripWindowRows);
  }
  static std::vector<std::string> entries(const Form1& form) {
    std::vector<std::string> out;
    for (int i = 0; i < form.List_MID->count(); ++i) out.push_back(form.List_MID->item(i)->text().toStdString());
    return out;
  }

  std::filesystem::path saved = std::filesystem::current_path();
  TempDir dir;
  FakePlatform platform;
};

}  // namespace ezg::testing
