// Start's second half: the note splitter and the zipper strip.
#include <QPainter>

#include "app/form1.h"

namespace ezg {

void Form1::MidiYaz() {
  // The note splitter plugs in here.
}

void Form1::showStrip(int sourceRow) {
  if (Picture1->surface().isNull()) return;
  QPainter painter(&Picture2->surface());
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(QPoint(0, 0), Picture1->surface(), QRect(0, sourceRow, 50, 236));
}

void Form1::resetStrip() {
  showStrip(236);
  Picture2->update();
}

}  // namespace ezg
