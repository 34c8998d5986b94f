// What the window logic asks of a toolkit: what the user sees of Form1, and
// the event pump. A shell (Qt on Linux, Win32 on Windows) implements it with
// real controls; tests record it. Values are the window's own: pixels, raw file-system names.
#pragma once

#include <cstdint>
#include <string>

namespace ezg {

// The window and its controls, by their design names.
enum class Control { Form1, Command1, Command2, Command3, Frame_MID, List_MID, File_MID, Picture1, Picture2 };
inline constexpr int kControlCount = 9;

// Left and top relative to the parent's client area, in pixels.
struct Place {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Place&) const = default;
};

struct Colour {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Colour&) const = default;
};

enum class Pointer { Default, Hourglass };

// A strip copy is shown when the toolkit next paints, or at once.
enum class Repaint { WhenDue, Now };

class View {
 public:
  virtual ~View() = default;

  virtual void setCaption(const std::string& text) = 0;
  virtual void place(Control control, const Place& where) = 0;
  virtual void setVisible(Control control, bool visible) = 0;
  virtual void setBackColour(Control control, Colour colour) = 0;

  // List_MID: entry `index` shows `name` (file-system bytes); the index one
  // past the last entry appends.
  virtual void setListEntry(int index, const std::string& name) = 0;
  // The selected entry, or -1 when none is.
  virtual int selectedIndex() = 0;

  // The bit-block copy of 50 x 236 pixels from row `sourceRow` of the strip
  // image in Picture1 to the top-left corner of Picture2.
  virtual void copyStrip(int sourceRow, Repaint repaint) = 0;

  virtual void setPointer(Pointer pointer) = 0;
  // Modal, OK only, no icon, the application's title; returns when the user
  // closes it, or at once after endMessageBox().
  virtual void messageBox(const std::string& text) = 0;
  // Closes the box that is up, as if the user had: nobody may be there.
  virtual void endMessageBox() = 0;
  // One pass: handle what is pending, then return.
  virtual void pumpEvents() = 0;
  // The window goes; with it the program's last, the program ends once the
  // running handler returns. Harmless when repeated.
  virtual void closeWindow() = 0;
};

}  // namespace ezg
