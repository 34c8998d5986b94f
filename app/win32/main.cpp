#include "app/win32/form1_window.h"
#include "app/win32/win32_platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  ezg::Win32Platform platform;
  ezg::Form1Window window(platform, instance);
  if (!window.form().startUp()) return 0;
  return window.run();
}
