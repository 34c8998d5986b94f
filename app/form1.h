// The one window's logic: start-up, the MIDI list, Start, the hidden buttons,
// the strip, closing and shutdown. Plain C++: what a user sees goes through a
// View, files and clock through a Platform.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/loaded_file.h"
#include "app/platform.h"
#include "app/run_log.h"
#include "app/view.h"

namespace ezg {

// Event-pump passes after each pair of a split, so the strip moves at a pace
// a person can follow.
inline constexpr int kPausePumpPasses = 10'000;

// A control as the window is created with it.
struct ControlDesign {
  Control control;
  const char* name;
  Control parent;
  bool visible;
  Place place;
  const char* caption;  // "" for none
};

// Where a close request comes from. A signal's close may have nobody at the
// screen, so it never waits for a message box.
enum class CloseFrom { User, Signal };

class Form1 {
 public:
  static constexpr int kClientWidth = 367;
  static constexpr int kClientHeight = 466;
  static constexpr Colour kBackColour{255, 128, 0};

  // The controls' design values, in tab order; a shell creates them so.
  static const std::array<ControlDesign, kControlCount - 1>& controls();

  Form1(Platform& platform, View& view);

  // Runs start-up. False when it ended early (no MIDI file, no pars.bin):
  // the window has then been closed and must not be shown.
  [[nodiscard]] bool startUp();

  // Event handlers.
  void Command1_Click();     // "TEST"
  void Command2_Click();     // "to TXT"
  void Command3_Click();     // "Start"
  void List_MID_Click();     // a click, or a key that moves the selection; stops the playing
  void List_MID_DblClick();  // plays the entry; a click, Start or closing stops it
  // Never refused: the window unloads now, or once a running split has
  // written its files.
  void closeRequest(CloseFrom from);

  // Rescans the folder and rewrites the list by index; returns the count.
  int midiListFill();

  const LoadedFile& loaded() const { return loaded_; }
  // List_MID's entries as set, file-system bytes.
  const std::vector<std::string>& listEntries() const { return listEntries_; }
  // A control's place as last set.
  const Place& placeOf(Control control) const;

 private:
  struct ControlState {
    Place place;
    bool visible = false;
    Colour backColour = kBackColour;
  };

  void move(Control control, const Place& where);
  void show(Control control, bool visible);
  void setBackColour(Control control, Colour colour);
  ControlState& state(Control control) { return controls_[static_cast<std::size_t>(control)]; }

  // Every message goes through here: a box, or standard error when a
  // signal's close leaves nobody to read it.
  void tell(const std::string& message);

  // Reads the selected file into `next`; false after a message.
  [[nodiscard]] bool load(LoadedFile& next);
  // Splits `next` and writes both copies. `next` becomes the loaded file
  // even when an output cannot be opened or committed, as it was read whole;
  // only a copy too large for memory keeps the one loaded before.
  void MidiYaz(LoadedFile& next);
  void TxtYaz();
  void TestEt();
  void progressUpdate(std::int64_t packetNumber);
  void stopPlaying();
  void unload();

  Platform& platform_;
  View& view_;
  std::array<ControlState, kControlCount> controls_{};
  std::vector<std::string> File_MID_;  // the folder scan behind the list
  Status scanStatus_;                  // why the last scan failed, if it did
  std::vector<std::string> listEntries_;
  LoadedFile loaded_;
  RunLog runLog_;
  std::array<std::string, 12> noteNames_{};

  // A split pumps events; while it runs, Start and the hidden buttons are
  // ignored. A close hides the window at once and lets the split finish
  // unpaced, so its files are written whole before the program ends.
  bool splitting_ = false;
  bool closePending_ = false;
  bool closedBySignal_ = false;
  bool boxUp_ = false;
  bool unloading_ = false;
};

}  // namespace ezg
