// The window on plain Win32 (user32 and gdi32): the controls, fonts, strip
// surfaces, pointer and message boxes. It shows what Form1 sets and hands
// clicks, keys and close requests to it.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <array>

#include "app/form1.h"
#include "app/view.h"

namespace ezg {

// The application's name, and so the title of its message boxes.
inline constexpr const wchar_t* kApplicationTitle = L"Ezgitar";

class Form1Window final : public View {
 public:
  Form1Window(Platform& platform, HINSTANCE instance);
  ~Form1Window() override;
  Form1Window(const Form1Window&) = delete;
  Form1Window& operator=(const Form1Window&) = delete;

  Form1& form() { return form_; }

  // Shows the window and dispatches its events until it is gone; the
  // program's exit status.
  int run();

  // View.
  void setCaption(const std::string& text) override;
  void place(Control control, const Place& where) override;
  void setVisible(Control control, bool visible) override;
  void setBackColour(Control control, Colour colour) override;
  void setListEntry(int index, const std::string& name) override;
  int selectedIndex() override;
  void copyStrip(int sourceRow, Repaint repaint) override;
  void setPointer(Pointer pointer) override;
  void messageBox(const std::string& text) override;
  void endMessageBox() override;
  void pumpEvents() override;
  void closeWindow() override;

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void onCommand(HWND from, UINT code);
  void paintStrip(HWND hwnd);
  void dispatch(MSG& msg);
  // cppcheck reads the handles of the array as integers.
  // cppcheck-suppress CastIntegerToAddressAtReturn
  HWND window(Control control) const { return windows_[static_cast<std::size_t>(control)]; }

  std::array<HWND, kControlCount> windows_{};        // by Control
  std::array<HBRUSH, kControlCount> backColours_{};  // the window and its panels paint with these
  HFONT buttonFont_ = nullptr, listFont_ = nullptr, fileListFont_ = nullptr;
  // The drawing surfaces of Picture1 (the strip image) and Picture2 (what
  // the strip window shows), each a memory device context with its bitmap.
  HDC stripImage_ = nullptr, stripWindow_ = nullptr;
  HGDIOBJ stripImageOld_ = nullptr, stripWindowOld_ = nullptr;
  HWND focus_ = nullptr;  // the control to give the focus to
  bool hourglass_ = false;
  bool closed_ = false;
  Form1 form_;  // calls on its view from start-up on
};

}  // namespace ezg
