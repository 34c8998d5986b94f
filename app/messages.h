// The window's own failure messages, in Turkish, naming the file.
#pragma once

#include <string>

namespace ezg {

// "<name> dosyası okunamadı: <why>." and "<name> dosyası yazılamadı: <why>.",
// with the reasons our file code gives put into Turkish.
std::string cannotReadMessage(const std::string& name, const std::string& reason);
std::string cannotWriteMessage(const std::string& name, const std::string& reason);

// The reason alone, in Turkish where it is one we know.
std::string turkishReason(const std::string& reason);

}  // namespace ezg
