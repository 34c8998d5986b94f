#include <cstring>

#include "files/failure.h"

namespace ezg {

std::string_view sysErrorName(int err) {
  if (err == 0) return {};
  const char* name = ::strerrorname_np(err);
  return name ? std::string_view(name) : std::string_view("E?");
}

}  // namespace ezg
