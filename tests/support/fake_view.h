// A view that records what Form1 shows, answers its questions as the test
// sets them, and lets a test act while a box is up or the pump runs.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/view.h"

namespace ezg::testing {

class FakeView final : public View {
 public:
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
  int pumpCount = 0;
  int boxesEnded = 0;
  int closes = 0;
  std::function<void(int pass)> onPump;
  std::function<void(const std::string&)> onMessage;

  // The source row the strip shows now, -1 before any copy.
  int stripRow() const { return strip.empty() ? -1 : strip.back(); }
  // Selects the entry that shows `name`, as a user's click would.
  void select(const std::string& name) {
    selected = -1;
    for (std::size_t i = 0; i < entries.size(); ++i)
      if (entries[i] == name) selected = static_cast<int>(i);
  }

  void setCaption(const std::string& text) override { caption = text; }
  void place(Control c, const Place& where) override { places[c] = where; }
  void setVisible(Control c, bool v) override { visible[c] = v; }
  void setBackColour(Control c, Colour colour) override { colours[c] = colour; }
  void setListEntry(int index, const std::string& name) override {
    if (static_cast<std::size_t>(index) == entries.size())
      entries.push_back(name);
    else
      entries.at(static_cast<std::size_t>(index)) = name;
  }
  int selectedIndex() override { return selected; }
  void copyStrip(int sourceRow, Repaint repaint) override {
    strip.push_back(sourceRow);
    repaints.push_back(repaint);
  }
  void setPointer(Pointer p) override { pointers.push_back(p); }
  void messageBox(const std::string& text) override {
    messages.push_back(text);
    if (onMessage) onMessage(text);
  }
  void endMessageBox() override { ++boxesEnded; }
  void pumpEvents() override {
    ++pumpCount;
    if (onPump) onPump(pumpCount);
  }
  void closeWindow() override { ++closes; }
};

}  // namespace ezg::testing
