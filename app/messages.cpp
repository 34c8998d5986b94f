#include "app/messages.h"

#include <array>
#include <string_view>

namespace ezg {
namespace {

constexpr std::size_t kCodeCount = static_cast<std::size_t>(FailureCode::Other) + 1;

// Indexed by FailureCode, in its order.
constexpr std::array<std::string_view, kCodeCount> kReasons = {
    "dosya yok",                                // Missing
    "bu düz bir dosya değil",                   // NotPlainFile
    "bu adda bir klasör var",                   // FolderInTheWay
    "dosya salt okunur",                        // ReadOnlyFile
    "klasör salt okunur",                       // ReadOnlyFolder
    "erişim izni yok",                          // NoPermission
    "diskte yer kalmadı",                       // DiskFull
    "dosya adı çok uzun",                       // NameTooLong
    "dosya okunurken değişti",                  // ChangedWhileRead
    "dosya belleğe sığmayacak kadar büyük",     // TooLarge
    "bağlantı var olmayan bir dosyayı gösteriyor",  // DanglingLink
    "beklenmeyen bir sistem hatası",            // Other
};

}  // namespace

std::string turkishReason(const Failure& failure) {
  std::string why(kReasons[static_cast<std::size_t>(failure.code)]);
  if (failure.code == FailureCode::Other && failure.sysError != 0)
    why += " (" + std::string(sysErrorName(failure.sysError)) + ")";
  return why;
}

std::string cannotReadMessage(const std::string& name, const Failure& failure) {
  return name + " dosyası okunamadı: " + turkishReason(failure) + ".";
}

std::string cannotWriteMessage(const std::string& name, const Failure& failure) {
  return name + " dosyası yazılamadı: " + turkishReason(failure) + ".";
}

std::string cannotWritePairMessage(const std::string& name, const Failure& failure) {
  return cannotWriteMessage(name, failure) + " Eski iki dosya da korundu.";
}

std::string cannotScanMessage(const std::string& folder, const Failure& failure) {
  return folder + " klasörü okunamadı: " + turkishReason(failure) + ".";
}

}  // namespace ezg
