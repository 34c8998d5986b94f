// Looks at the window program from another process in the same Wine prefix
// for what X does not show, and asks it to close as Windows would:
//   wine_probe box SECONDS     prints the box's text, then presses its OK
//   wine_probe list SECONDS    prints the list's entries, one a line
//   wine_probe close           a close request (WM_CLOSE)
//   wine_probe endsession      the session ends (WM_QUERYENDSESSION, WM_ENDSESSION)
// Exit status 1 when the window is not there in time; 3 when a box is not
// as every box of the program must be (one OK button, no icon).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files/utf8_path.h"

namespace {

constexpr const wchar_t* kMainCaption = L"Ezgitar s\u00fcr\u00fcm 5";

bool isClass(HWND hwnd, const wchar_t* name) {
  wchar_t found[64] = {};
  GetClassNameW(hwnd, found, 64);
  return _wcsicmp(found, name) == 0;
}

void print(const std::wstring& line) {
  const std::string bytes = ezg::utf8Of(std::wstring_view(line)) + "\n";
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

// Visible children, at any depth.
std::vector<HWND> children(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(
      parent,
      [](HWND hwnd, LPARAM out) {
        if (IsWindowVisible(hwnd)) reinterpret_cast<std::vector<HWND>*>(out)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Polls for a visible top-level window of this class (or any) and title.
HWND waitForWindow(const wchar_t* className, const wchar_t* title, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    HWND hwnd = FindWindowW(className, title);
    if (hwnd && IsWindowVisible(hwnd)) return hwnd;
    if (std::chrono::steady_clock::now() > deadline) return nullptr;
    Sleep(20);
  }
}

int box(double seconds) {
  HWND box = waitForWindow(L"#32770", L"Ezgitar", seconds);
  if (!box) {
    std::fprintf(stderr, "wine_probe: no message box\n");
    return 1;
  }
  wchar_t text[1024] = {};
  HWND ok = nullptr;
  int buttons = 0;
  bool icon = false;
  for (HWND child : children(box)) {
    if (isClass(child, L"Button")) {
      ++buttons;
      if (GetDlgCtrlID(child) == IDOK) ok = child;
    } else if (isClass(child, L"Static")) {
      if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        icon |= SendMessageW(child, STM_GETICON, 0, 0) != 0;
      else
        GetWindowTextW(child, text, 1024);
    }
  }
  print(text);
  std::fflush(stdout);
  if (buttons != 1 || !ok || icon) {
    std::fprintf(stderr, "wine_probe: the box has %d button(s)%s%s\n", buttons, ok ? "" : ", none of them OK",
                 icon ? " and an icon" : "");
    return 3;
  }
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  return 0;
}

int list(double seconds) {
  HWND form = waitForWindow(nullptr, kMainCaption, seconds);
  if (!form) return 1;
  for (HWND child : children(form)) {
    if (!isClass(child, L"ListBox")) continue;
    for (WPARAM i = 0; i < static_cast<WPARAM>(SendMessageW(child, LB_GETCOUNT, 0, 0)); ++i) {
      std::wstring entry(static_cast<std::size_t>(SendMessageW(child, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
      const auto length = SendMessageW(child, LB_GETTEXT, i, reinterpret_cast<LPARAM>(entry.data()));
      entry.resize(length < 0 ? 0 : static_cast<std::size_t>(length));
      print(entry);
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  const double seconds = argc > 2 ? std::atof(argv[2]) : 10;
  if (command == "box") return box(seconds);
  if (command == "list") return list(seconds);
  // The window may be hidden by a close already under way: it is found by
  // its caption whether shown or not.
  HWND form = FindWindowW(nullptr, kMainCaption);
  if (command == "close") return form && PostMessageW(form, WM_CLOSE, 0, 0) ? 0 : 1;
  if (command == "endsession") {
    if (!form) return 1;
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(form, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_NORMAL, 10000, &answer);
    if (answer != TRUE) {
      std::fprintf(stderr, "wine_probe: the end of the session was refused\n");
      return 3;
    }
    SendMessageTimeoutW(form, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, SMTO_NORMAL, 10000, &answer);
    return 0;
  }
  std::fprintf(stderr, "usage: wine_probe box|list SECONDS | close | endsession\n");
  return 2;
}
