#include "app/win32/win32_platform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace ezg {

char Win32Platform::decimalSeparator() {
  // The user's regional setting; '.' unless it is one ASCII character.
  wchar_t separator[8] = {};
  const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
  if (length == 2 && separator[0] > 0 && separator[0] < 0x80) return static_cast<char>(separator[0]);
  return '.';
}

}  // namespace ezg
