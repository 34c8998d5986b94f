// The window's own failure messages, in Turkish, made from a failure's code.
#pragma once

#include <string>

#include "files/failure.h"
#include "sound/player.h"

namespace ezg {

// Why, in Turkish: one text per code; only FailureCode::Other adds the
// system's name for its error number.
std::string turkishReason(const Failure& failure);

// "<name> dosyası okunamadı: <why>." and "<name> dosyası yazılamadı: <why>."
std::string cannotReadMessage(const std::string& name, const Failure& failure);
std::string cannotWriteMessage(const std::string& name, const Failure& failure);

// A pair written together failed, so neither was replaced:
// "<name> dosyası yazılamadı: <why>. Eski iki dosya da korundu."
std::string cannotWritePairMessage(const std::string& name, const Failure& failure);

// "<folder> klasörü okunamadı: <why>."
std::string cannotScanMessage(const std::string& folder, const Failure& failure);

// "<name> çalınamadı: <why>." and, where the user can do something about
// it, what.
std::string cannotPlayMessage(const std::string& name, const sound::SoundFailure& failure);

}  // namespace ezg
