// Everything the window logic needs from the system: folders, files, the
// clock, the user's number format, standard error and the audio output. What the user sees is
// the view's (app/view.h); tests swap in fakes for both.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "midi/bytes.h"
#include "files/failure.h"
#include "files/sink.h"
#include "sound/player.h"

namespace ezg {

struct LocalDateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  virtual char decimalSeparator() = 0;  // the user's regional format
  virtual LocalDateTime now() = 0;      // local time, whole seconds
  // For a failure nobody is there to read in a box: one line, as given.
  virtual void writeError(const std::string& text) = 0;

  // Folders. Names below are relative to the current folder.
  virtual std::string programFolder() = 0;
  virtual bool setCurrentFolder(const std::string& folder) = 0;

  // Names of the plain files of the current folder that match a "*.ext"
  // pattern (ignoring case only where the file system does), in byte
  // order, into `names`.
  [[nodiscard]] virtual Status scanFolder(const std::string& pattern, std::vector<std::string>& names) = 0;
  // Looks `name` up among the plain files of the current folder, ignoring
  // case, and returns it as stored (exact match preferred), or "".
  virtual std::string lookUpPlainFile(const std::string& name) = 0;

  // Files.
  // The whole file into `bytes`, left as it was on failure.
  [[nodiscard]] virtual Status readFile(const std::string& name, Bytes& bytes) = 0;
  // A safe output: nothing appears under `name` until commit().
  virtual std::unique_ptr<OutputFile> createOutput(const std::string& name) = 0;
  // From now on no output may reach these files through a link, nor the
  // program's own; those kept before are let go.
  virtual void keepFromLinks(const std::vector<std::string>& names) = 0;

  // What a double click on the list plays a file with.
  virtual sound::Player& player() = 0;
};

// Files, folders, clock and standard error from the file layer (files/).
// The number format is left to subclasses (the toolkit's, and the test
// fake), and they may say the program folder their own way.
class FsPlatform : public Platform {
 public:
  FsPlatform();
  std::string programFolder() override;
  LocalDateTime now() override;
  void writeError(const std::string& text) override;
  bool setCurrentFolder(const std::string& folder) override;
  [[nodiscard]] Status scanFolder(const std::string& pattern, std::vector<std::string>& names) override;
  std::string lookUpPlainFile(const std::string& name) override;
  [[nodiscard]] Status readFile(const std::string& name, Bytes& bytes) override;
  std::unique_ptr<OutputFile> createOutput(const std::string& name) override;
  void keepFromLinks(const std::vector<std::string>& names) override;
  // The system's, made at the first call; its SoundFont is the one the
  // environment names, else the system's.
  sound::Player& player() override;

 private:
  std::unique_ptr<sound::Player> player_;
};

}  // namespace ezg
