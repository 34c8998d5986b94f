// The user's number format from Windows; files, folders, the program folder
// and the clock are the file layer's.
#pragma once

#include "app/platform.h"

namespace ezg {

class Win32Platform final : public FsPlatform {
 public:
  char decimalSeparator() override;
};

}  // namespace ezg
