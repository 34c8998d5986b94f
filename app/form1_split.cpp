// Start's second half: the note splitter and the zipper strip.
#include <QPainter>
#include <cerrno>
#include <new>

#include "app/form1.h"
#include "app/messages.h"
#include "midi/safe_write.h"
#include "splitter/note_splitter.h"
#include "splitter/strip.h"

namespace ezg {

void Form1::MidiYaz(LoadedFile& next) {
  // Both outputs are opened first, so a folder that takes no files is
  // refused before the long, paced split.
  auto out13 = platform_.createOutput(splitOutputName13(next.baseName));
  auto out24 = platform_.createOutput(splitOutputName24(next.baseName));
  for (const auto* out : {out13.get(), out24.get()}) {
    if (Status failed = out->status()) {
      loaded_ = std::move(next);
      platform_.messageBox(cannotWriteMessage(out->name(), *failed));
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
      for (int pass = 0; pass < kPausePumpPasses && !closePending_; ++pass) platform_.pumpEvents();
    });
    out13->write(asChars(copy));
    Bytes().swap(copy);
    copy = splitOneCopy(next.buffer, SplitCopy::Copy24);
    out24->write(asChars(copy));
  } catch (const std::bad_alloc&) {
    // A copy of the file does not fit: refuse it like a file too large to
    // read, and keep what was loaded before. Neither output is committed.
    splitting_ = false;
    platform_.messageBox(cannotReadMessage(next.currentFileName, Failure{FailureCode::TooLarge, ENOMEM, next.currentFileName}));
    if (closePending_) close();
    return;
  }
  loaded_ = std::move(next);
  if (Status failed = commitBoth(*out13, *out24)) platform_.messageBox(cannotWritePairMessage(failed->detail, *failed));
  midiListFill();
  splitting_ = false;

  if (closePending_) close();
}

void Form1::loadStripImage() {
  const auto bmp = stripBitmap();
  const QImage image = QImage::fromData(bmp.data(), static_cast<int>(bmp.size()), "BMP");
  // The same pixel format as Picture2, so each copy is a plain row copy.
  Picture1->setSurface(image.convertToFormat(QImage::Format_RGB32));
}

void Form1::showStrip(int sourceRow) {
  if (Picture1->surface().isNull()) return;
  QPainter painter(&Picture2->surface());
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(QPoint(0, 0), Picture1->surface(), QRect(0, sourceRow, 50, kStripWindowRows));
}

void Form1::resetStrip() {
  showStrip(kStripClosedRow);
  Picture2->update();
}

void Form1::progressUpdate(std::int64_t packetNumber) {
  showStrip(stripSourceRow(packetNumber));
  // At once: the splitter keeps the thread until the next pause.
  Picture2->repaint();
}

}  // namespace ezg
