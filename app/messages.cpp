#include "app/messages.h"

#include <string_view>
#include <utility>

namespace ezg {

std::string turkishReason(const std::string& reason) {
  // The reasons of the safe writer, the file reader and the C library's
  // most likely errors; anything else is shown as the system gave it.
  static constexpr std::pair<std::string_view, std::string_view> kReasons[] = {
      {"no such file", "dosya yok"},
      {"No such file or directory", "dosya ya da klasör yok"},
      {"not a regular file", "bu bir dosya değil"},
      {"the file is read-only", "dosya salt okunur"},
      {"the folder is read-only", "klasör salt okunur"},
      {"a folder has that name", "bu adda bir klasör var"},
      {"Permission denied", "erişim izni yok"},
      {"No space left on device", "diskte yer kalmadı"},
      {"Is a directory", "bu adda bir klasör var"},
      {"Read-only file system", "disk salt okunur"},
      {"write failed", "yazma başarısız"},
  };
  for (const auto& [english, turkish] : kReasons)
    if (reason == english) return std::string(turkish);
  return reason;
}

std::string cannotReadMessage(const std::string& name, const std::string& reason) {
  return name + " dosyası okunamadı: " + turkishReason(reason) + ".";
}

std::string cannotWriteMessage(const std::string& name, const std::string& reason) {
  return name + " dosyası yazılamadı: " + turkishReason(reason) + ".";
}

}  // namespace ezg
