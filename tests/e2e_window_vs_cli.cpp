// The real window on a staged folder, driven through its widgets, must
// write the same bytes as ezgitar-cli for the same input.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "app/form1.h"
#include "app/qt_platform.h"
#include "app/run_log.h"
#include "tests/support/qt_app.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"
#include "tools/midi_builder.h"

namespace ezg {
namespace {

using testing::shellQuote;

const std::string kCli = EZGITAR_CLI;

class WindowVsCli : public ::testing::Test {
 protected:
  WindowVsCli() : platform(folder.path().string()) {
    testing::qtApp();
    // A message box would wait for a click that never comes: close any
    // that opens and fail the test instead of hanging.
    QObject::connect(&watchdog, &QTimer::timeout, [this] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        unexpectedBoxes.push_back(modal->findChild<QObject*>() ? "message box" : "modal");
        modal->close();
      }
    });
    watchdog.start(50);
    folder.write("pars.bin", std::string(40, '\x07'));
    folder.write("uşşak peşrevi.mid", build::makeMidi(build::makamMelody(41, 11)));
    Bytes odd = build::makeMidi(build::makamMelody(8, 12));
    odd.insert(odd.end(), {0x00, 0xE0, 0x00, 0x40, 0x00, 0x90, 0x3C});  // ends inside a note
    folder.write("kırık.mid", odd);
  }
  ~WindowVsCli() override { std::filesystem::current_path(saved); }

  std::string cli(const std::string& args) {
    auto r = testing::runCommand(kCli + " " + args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
  }

  std::filesystem::path saved = std::filesystem::current_path();
  testing::TempDir folder;
  testing::TempDir cliOut;
  QtPlatform platform;
  QTimer watchdog;
  std::vector<std::string> unexpectedBoxes;
};

TEST_F(WindowVsCli, StartAndReportWriteWhatTheCommandLineWrites) {
  {
    Form1 form(platform);
    platform.setWindow(&form);
    ASSERT_TRUE(form.startUp());
    form.show();

    for (const std::string base : {"uşşak peşrevi", "kırık"}) {
      auto items = form.List_MID->findItems(QString::fromStdString(base), Qt::MatchExactly);
      ASSERT_EQ(items.size(), 1) << base;
      form.List_MID->setCurrentItem(items.front());
      form.Command3->click();
      form.Command2_Click();  // "to TXT" stays hidden; click it in code

      const std::string input = shellQuote((folder / (base + ".mid")).string());
      cli("split -o " + shellQuote(cliOut.path().string()) + " " + input);
      cli("report --decimal-separator . -o " + shellQuote(cliOut.path().string()) + " " + input);
      for (const std::string& out : {base + "_13.mid", base + "_24.mid", base + ".txt"}) {
        ASSERT_TRUE(folder.exists(out)) << out;
        EXPECT_EQ(folder.read(out), cliOut.read(out)) << out;
      }
      EXPECT_NE(folder.read(base + "_13.mid"), folder.read(base + ".mid"));
    }
    // The split refilled the list with its outputs.
    EXPECT_EQ(form.List_MID->findItems("kırık_24", Qt::MatchExactly).size(), 1);
    EXPECT_TRUE(form.close());
  }
  EXPECT_TRUE(unexpectedBoxes.empty());

  const std::string log = folder.read("pars.bin");
  ASSERT_EQ(log.size(), 60u);
  EXPECT_EQ(log.substr(0, 40), std::string(40, '\x07'));
  std::vector<std::uint8_t> raw(log.begin(), log.end());
  RunRecord mine = parseRunLog(raw).back();
  EXPECT_EQ(mine.status, 0);
  EXPECT_EQ(mine.code, (std::array<char, 3>{'0', '0', '0'}));
  const double today = toOleDate(platform.now());
  EXPECT_LE(mine.start, mine.end);
  EXPECT_NEAR(mine.end, today, 1.0 / 24);  // within the hour
}

}  // namespace
}  // namespace ezg
