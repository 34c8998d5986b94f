// Start's second half: the note splitter and the zipper strip.
#include <cerrno>
#include <new>

#include "app/form1.h"
#include "app/messages.h"
#include "files/safe_write.h"
#include "splitter/note_splitter.h"
#include "splitter/strip.h"

namespace ezg {

void Form1::MidiYaz(LoadedFile& next) {
  // A copy's name that links to the song itself, to another song of the
  // folder or to the run log must not overwrite it.
  std::vector<std::string> kept = File_MID_;
  kept.emplace_back("pars.bin");
  platform_.keepFromLinks(kept);
  // Both outputs are opened first, so a folder that takes no files is
  // refused before the long, paced split.
  auto out13 = platform_.createOutput(splitOutputName13(next.baseName));
  auto out24 = platform_.createOutput(splitOutputName24(next.baseName));
  for (const auto* out : {out13.get(), out24.get()}) {
    if (const Status& failed = out->status()) {
      loaded_ = std::move(next);
      tell(cannotWriteMessage(out->name(), *failed));
      return;
    }
  }

  splitting_ = true;
  try {
    // One copy at a time: copy 13 while the strip moves, written away, then
    // copy 24 in a quick second scan, so a split holds the file and one copy.
    Bytes copy = splitOneCopy(next.buffer, SplitCopy::Copy13, [this](std::int64_t packetNumber) {
      // Once the window is closed nobody watches the strip: the rest of the
      // split runs at full speed.
      if (closePending_) return;
      progressUpdate(packetNumber);
      for (int pass = 0; pass < kPausePumpPasses && !closePending_; ++pass) view_.pumpEvents();
    });
    out13->write(asChars(copy));
    Bytes().swap(copy);
    copy = splitOneCopy(next.buffer, SplitCopy::Copy24);
    out24->write(asChars(copy));
  } catch (const std::bad_alloc&) {
    // A copy of the file does not fit: refuse it like a file too large to
    // read, and keep what was loaded before. Neither output is committed.
    splitting_ = false;
    tell(cannotReadMessage(next.currentFileName, Failure{FailureCode::TooLarge, ENOMEM, next.currentFileName}));
    if (closePending_) unload();
    return;
  }
  loaded_ = std::move(next);
  if (Status failed = commitBoth(*out13, *out24)) tell(cannotWritePairMessage(failed->detail, *failed));
  midiListFill();
  splitting_ = false;

  if (closePending_) unload();
}

void Form1::progressUpdate(std::int64_t packetNumber) {
  // At once: the splitter keeps the thread until the next pause.
  view_.copyStrip(stripSourceRow(packetNumber), Repaint::Now);
}

}  // namespace ezg
