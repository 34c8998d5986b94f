// The real window on a staged folder, driven through its widgets, must
// write the same bytes as ezgitar-cli for the same input.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "app/qt/form1_window.h"
#include "app/qt/qt_platform.h"
#include "tests/support/run_command.h"
#include "tests/support/window.h"
#include "fixtures/midi_builder.h"

namespace ezg {
namespace {

using testing::shellQuote;
void qtApp() {
  static int argc = 1;
  static char name[] = "ezgitar-tests";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
}

using WindowVsCli = testing::WindowTest;  // its folder, but the real platform and window

TEST_F(WindowVsCli, StartAndReportWriteWhatTheCommandLineWrites) {
  qtApp();
  testing::TempDir cliOut;
  QtPlatform real(dir.path().string());
  // A message box would wait for a click that never comes: close any that
  // opens and fail the test instead of hanging.
  int unexpectedBoxes = 0;
  QTimer watchdog;
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) ++unexpectedBoxes, modal->close();
  });
  watchdog.start(50);
  dir.write("pars.bin", "");
  dir.write("uşşak peşrevi.mid", build::makeMidi(build::makamMelody(41, 11)));
  Bytes odd = build::makeMidi(build::makamMelody(8, 12));
  odd.insert(odd.end(), {0x00, 0xE0, 0x00, 0x40, 0x00, 0x90, 0x3C});  // ends inside a note
  dir.write("kırık.mid", odd);
  Form1Window window(real);
  ASSERT_TRUE(window.form().startUp());
  window.show();
  for (const std::string base : {"uşşak peşrevi", "kırık"}) {
    const auto found = window.List_MID->findItems(QString::fromStdString(base), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << base;
    window.List_MID->setCurrentItem(found.front());
    window.Command3->click();
    window.form().Command2_Click();  // "to TXT" stays hidden; click it in code
    const std::string input = shellQuote((dir / (base + ".mid")).string());
    for (const std::string cmd : {"split -o ", "report --decimal-separator . -o "}) {
      const auto r = testing::runCommand(EZGITAR_CLI " " + cmd + shellQuote(cliOut.path().string()) + " " + input);
      // The broken file's tail lies after its track chunk, and the split
      // takes part of it for a note: said as a warning, the copies written.
      const bool warns = cmd == "split -o " && base == "kırık";
      EXPECT_EQ(r.status, warns ? 1 : 0) << r.err;
    }
    for (const std::string& out : {base + "_13.mid", base + "_24.mid", base + ".txt"})
      EXPECT_EQ(dir.read(out), cliOut.read(out)) << out;
  }
  EXPECT_EQ(unexpectedBoxes, 0);
}

TEST(QtPlatformLocale, TheCentsFollowTheUsersRegionalFormat) {
  qtApp();
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
  EXPECT_EQ(QtPlatform().decimalSeparator(), ',');
  QLocale::setDefault(QLocale::c());
  EXPECT_EQ(QtPlatform().decimalSeparator(), '.');
  QLocale::setDefault(saved);
}

}  // namespace
}  // namespace ezg
