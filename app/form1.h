// The one window: its eight controls, start-up, Start, and shutdown.
#pragma once

#include <QFrame>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "app/loaded_file.h"
#include "app/platform.h"
#include "app/run_log.h"
#include "midi/bytes.h"

namespace ezg {

// Event-pump passes after each pair of a split, so the strip moves at a pace
// a person can follow.
inline constexpr int kPausePumpPasses = 10'000;

// A picture box: a drawing surface that paints itself.
class PictureBox : public QWidget {
 public:
  explicit PictureBox(QWidget* parent) : QWidget(parent) {}
  QImage& surface() { return surface_; }
  void setSurface(QImage image) { surface_ = std::move(image); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage surface_;
};

// The hidden directory scanner behind the list: full names, one per row.
class FileListBox : public QListWidget {
 public:
  explicit FileListBox(QWidget* parent) : QListWidget(parent) {}
  void setPattern(std::string pattern) { pattern_ = std::move(pattern); }
  const std::string& pattern() const { return pattern_; }
  // Scans the current folder again; the names are raw file-system bytes.
  void refresh(Platform& platform);
  // Why the last scan failed, if it did; the names are then empty.
  const Status& scanStatus() const { return scanStatus_; }
  int count() const { return static_cast<int>(names_.size()); }
  const std::string& name(int i) const { return names_[static_cast<std::size_t>(i)]; }

 private:
  std::string pattern_;
  std::vector<std::string> names_;
  Status scanStatus_;
};

class Form1 : public QWidget {
 public:
  static constexpr int kClientWidth = 367;
  static constexpr int kClientHeight = 466;

  explicit Form1(Platform& platform, QWidget* parent = nullptr);

  // Runs start-up. False when it ended early (no MIDI file, no pars.bin):
  // the window must then not be shown.
  bool startUp();

  // Click handlers.
  void Command1_Click();  // "TEST"
  void Command2_Click();  // "to TXT"
  void Command3_Click();  // "Start"
  void List_MID_Click();

  // Rescans the folder and rewrites the list by index; returns the count.
  int midiListFill();

  // The loaded-file state, read by the report, the test run and the splitter.
  const LoadedFile& loaded() const { return loaded_; }
  const RunLog& runLog() const { return runLog_; }
  const std::array<std::string, 12>& noteNames() const { return noteNames_; }
  std::int64_t position() const { return position_; }

  // Controls, named as the design names them.
  QPushButton* Command1;
  QPushButton* Command2;
  QPushButton* Command3;
  QFrame* Frame_MID;
  QListWidget* List_MID;
  FileListBox* File_MID;
  PictureBox* Picture1;
  PictureBox* Picture2;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // The selected entry's row, or -1 when nothing is selected.
  int selectedIndex() const;
  // Reads the selected file into `next`; false after a message.
  bool load(LoadedFile& next);
  // Splits `next` and, once its copies are held, makes it the loaded file.
  void MidiYaz(LoadedFile& next);
  void TxtYaz();
  void TestEt();
  void showStrip(int sourceRow);
  void resetStrip();
  void unload();

  // --- splitter (form1_split.cpp) ---
  void loadStripImage();
  void progressUpdate(std::int64_t packetNumber);
  // A split pumps events; while it runs, Start and the hidden buttons are
  // ignored. A close hides the window at once and lets the split finish
  // unpaced, so its files are written whole before the program ends.
  bool splitting_ = false;
  bool closePending_ = false;

  // --- report and test run (form1_report.cpp) ---

  Platform& platform_;
  LoadedFile loaded_;
  RunLog runLog_;
  std::array<std::string, 12> noteNames_{};
  std::int64_t position_ = 0;  // shared running position of the walks
  bool unloaded_ = false;
};

// The window's 64 x 64, 32-bit icon, drawn by code.
QImage makeAppIcon();

}  // namespace ezg
