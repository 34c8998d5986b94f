#include "app/messages.h"

#include <string_view>

namespace ezg {
namespace {

// A switch, so the compiler names any code left without its text.
std::string_view reasonFor(FailureCode code) {
  switch (code) {
    case FailureCode::Missing: return "dosya yok";
    case FailureCode::NotPlainFile: return "bu düz bir dosya değil";
    case FailureCode::FolderInTheWay: return "bu adda bir klasör var";
    case FailureCode::ReadOnlyFile: return "dosya salt okunur";
    case FailureCode::ReadOnlyFolder: return "klasör salt okunur";
    case FailureCode::NoPermission: return "erişim izni yok";
    case FailureCode::DiskFull: return "diskte yer kalmadı";
    case FailureCode::NameTooLong: return "dosya adı çok uzun";
    case FailureCode::ChangedWhileRead: return "dosya okunurken değişti";
    case FailureCode::TooLarge: return "dosya belleğe sığmayacak kadar büyük";
    case FailureCode::DanglingLink: return "bağlantı var olmayan bir dosyayı gösteriyor";
    case FailureCode::LinkLoop: return "bağlantılar kendi içinde dönüyor";
    case FailureCode::TooManyOpenFiles: return "açık dosya sayısı sınırda";
    case FailureCode::FileSizeLimit: return "dosya boyutu sınırını aşıyor";
    case FailureCode::KeptFile:
      return "bu ad bir bağlantıyla okunan bir dosyayı ya da programın kendi dosyasını gösteriyor";
    case FailureCode::SameFileTwice: return "iki kopyanın adı da aynı dosyayı gösteriyor";
    case FailureCode::StreamClosed: return "çıkış kapalı";
    case FailureCode::HeldOpen: return "dosya başka bir programda açık";
    case FailureCode::Other: break;
  }
  return "beklenmeyen bir sistem hatası";
}

}  // namespace

std::string turkishReason(const Failure& failure) {
  std::string why(reasonFor(failure.code));
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

std::string cannotPlayMessage(const std::string& name, const sound::SoundFailure& failure) {
  using sound::SoundTrouble;
  const std::string head = name + " çalınamadı: ";
  switch (failure.what) {
    case SoundTrouble::NoSoundFont:
      return head + "SoundFont ses bankası bulunamadı (" + failure.detail +
             "). timgm6mb-soundfont paketini kurun ya da " + sound::kSoundFontVariable +
             " ile kendi .sf2 dosyanızı gösterin.";
    case SoundTrouble::BadSoundFont:
      return head + "SoundFont ses bankası okunamadı (" + failure.detail + "); dosya bozuk ya da .sf2/.sf3 değil.";
    case SoundTrouble::NoAudioOutput: return head + "ses çıkışı açılamadı; kullanılabilir bir ses aygıtı yok.";
    case SoundTrouble::NoMidiOutput: return head + "Windows'un MIDI çıkışı açılamadı.";
    case SoundTrouble::CannotRender:
    case SoundTrouble::NoSynthesizer: break;
  }
  return head + "ses sentezleyicisi başlatılamadı.";
}

}  // namespace ezg
