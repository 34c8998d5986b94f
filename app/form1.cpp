#include "app/form1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>

#include "app/messages.h"
#include "report/report.h"
#include "midi/midi_names.h"

namespace ezg {
namespace {

const QColor kBackground(255, 128, 0);

// "MS Sans Serif" and "Arial" do not exist here; DejaVu Sans keeps the
// sizes, weights and every Turkish letter.
QFont designFont(double points, bool bold) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

// A control with its design name, place and visibility.
template <class Control>
Control* makeControl(QWidget* parent, const char* name, QRect geometry, bool visible) {
  auto* c = new Control(parent);
  c->setObjectName(QString::fromLatin1(name));
  c->setGeometry(geometry);
  c->setVisible(visible);
  return c;
}

QPushButton* makeButton(QWidget* parent, const char* name, const char* caption, QRect geometry, bool visible) {
  auto* b = makeControl<QPushButton>(parent, name, geometry, visible);
  b->setText(QString::fromUtf8(caption));
  b->setFont(designFont(18, true));
  return b;
}

void setBackground(QWidget* w, const QColor& colour) {
  QPalette p = w->palette();
  p.setColor(QPalette::Window, colour);
  w->setPalette(p);
  w->setAutoFillBackground(true);
}

QString displayName(const std::string& raw) { return QFile::decodeName(QByteArray::fromStdString(raw)); }

}  // namespace

void PictureBox::paintEvent(QPaintEvent*) {
  if (surface_.isNull()) return;
  QPainter painter(this);
  painter.drawImage(0, 0, surface_);
}

void FileListBox::refresh(Platform& platform) {
  std::vector<std::string> names;
  scanStatus_ = platform.scanFolder(pattern_, names);
  names_ = std::move(names);
  clear();
  for (const auto& n : names_) addItem(displayName(n));
}

Form1::Form1(Platform& platform, QWidget* parent) : QWidget(parent), platform_(platform) {
  setObjectName(QStringLiteral("Form1"));
  setFixedSize(kClientWidth, kClientHeight);
  setBackground(this, kBackground);
  setWindowIcon(QIcon(QPixmap::fromImage(makeAppIcon())));

  Command1 = makeButton(this, "Command1", "TEST", {248, 400, 113, 29}, false);
  Command2 = makeButton(this, "Command2", "to TXT", {248, 432, 113, 33}, false);
  Command3 = makeButton(this, "Command3", "Start", {56, 360, 113, 57}, true);

  // A plain frame without caption or shading: every pixel of it is the
  // window's colour.
  Frame_MID = makeControl<QFrame>(this, "Frame_MID", {8, 8, 201, 297}, false);
  Frame_MID->setFrameStyle(QFrame::NoFrame | QFrame::Plain);
  List_MID = makeControl<QListWidget>(Frame_MID, "List_MID", {8, 16, 65, 104}, true);
  List_MID->setFont(designFont(12, true));
  File_MID = makeControl<FileListBox>(Frame_MID, "File_MID", {32, 16, 25, 166}, false);
  File_MID->setFont(designFont(9.75, false));
  Picture1 = makeControl<PictureBox>(this, "Picture1", {304, 8, 52, 475}, false);
  Picture2 = makeControl<PictureBox>(this, "Picture2", {288, 64, 50, 236}, true);
  Picture2->setSurface(QImage(50, 236, QImage::Format_RGB32));
  Picture2->surface().fill(Qt::white);

  QWidget* order[] = {Command1, Command2, Command3, Frame_MID, List_MID, File_MID, Picture1, Picture2};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

  connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
  connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
  connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
  // Arrow keys move the selection as a click does, and reset the strip the
  // same way; a click on the entry already selected resets it too.
  connect(List_MID, &QListWidget::itemSelectionChanged, this, [this] { List_MID_Click(); });
  connect(List_MID, &QListWidget::itemClicked, this, [this] { List_MID_Click(); });
}

bool Form1::startUp() {
  // 1. Everything happens in the program's own folder.
  platform_.setCurrentFolder(platform_.programFolder());
  // 2-3.
  setWindowTitle(QStringLiteral("Ezgitar sürüm 5"));
  // The run flag lives in the run log and is false until it is loaded.

  // 4-6.
  File_MID->setPattern(std::string(kMidiPattern));
  const int found = midiListFill();
  if (const Status& failed = File_MID->scanStatus()) {
    platform_.messageBox(cannotScanMessage(platform_.programFolder(), *failed));
    unload();
    return false;
  }
  if (found == 0) {
    platform_.messageBox("midi dosyalarınızı uygulama klasörüne taşıyın.");
    unload();
    return false;
  }

  // 7. Exactly "pars.bin": another case of the same name counts as missing.
  if (platform_.lookUpPlainFile("pars.bin") != "pars.bin") {
    platform_.messageBox(" pars.bin dosyası bulunamadı.");
    unload();
    return false;
  }

  // 8.
  if (Status failed = runLog_.loadAndAppend(platform_, "pars.bin")) {
    platform_.messageBox(cannotReadMessage("pars.bin", *failed));
    unload();
    return false;
  }

  // 9. Each size follows from the frame just placed.
  Frame_MID->setGeometry(40, 32, 240, 240);
  setBackground(Frame_MID, palette().color(QPalette::Window));
  constexpr int kTwipsPerPixel = 15;
  const int listW = (Frame_MID->width() - 20) * kTwipsPerPixel;
  const int listH = (Frame_MID->height() - 20) * kTwipsPerPixel;
  List_MID->resize(listW / kTwipsPerPixel, listH / kTwipsPerPixel);
  Command3->setGeometry(Frame_MID->x(), Command3->y(), Frame_MID->width(), Command3->height());
  Picture2->setGeometry(Picture2->x(), Frame_MID->y() + 5, Picture2->width(), Frame_MID->height() - 5);

  // 10.
  loadStripImage();
  resetStrip();

  // 11.
  Frame_MID->setVisible(true);
  noteNames_ = standardNoteNames();
  return true;
}

int Form1::midiListFill() {
  File_MID->refresh(platform_);
  const int count = File_MID->count();
  // Set by index: replace what is there, append past the end, and leave
  // entries beyond the new count alone.
  for (int i = 0; i < count; ++i) {
    const std::string& name = File_MID->name(i);
    std::string entry = listEntryFor(name);
    QListWidgetItem* item = List_MID->item(i);
    if (!item) {
      item = new QListWidgetItem;
      List_MID->addItem(item);
    }
    item->setText(displayName(entry));
    item->setData(Qt::UserRole, QByteArray::fromStdString(entry));
  }
  return count;
}

void Form1::Command3_Click() {
  // A split is pumping events: the running one keeps the loaded file.
  if (splitting_) return;
  platform_.setPointer(Pointer::Hourglass);
  LoadedFile next;
  if (load(next)) MidiYaz(next);
  platform_.setPointer(Pointer::Default);
}

int Form1::selectedIndex() const {
  // The current row is not the selection: Tab into the list makes a row
  // current without selecting it, and Ctrl+click deselects but stays current.
  const QModelIndexList rows = List_MID->selectionModel()->selectedIndexes();
  return rows.isEmpty() ? -1 : rows.front().row();
}

bool Form1::load(LoadedFile& next) {
  const int index = selectedIndex();
  QListWidgetItem* item = index >= 0 ? List_MID->item(index) : nullptr;
  const std::string entry = item ? item->data(Qt::UserRole).toByteArray().toStdString() : std::string();
  if (entry.empty()) {
    platform_.messageBox("Bir dosya seçin.");
    return false;
  }

  const std::string fileName = entry + ".mid";
  Bytes bytes;
  if (Status failed = platform_.readFile(fileName, bytes)) {
    platform_.messageBox(cannotReadMessage(fileName, *failed));
    return false;
  }
  if (bytes.empty()) {
    platform_.messageBox(fileName + " dosyası boş.");
    return false;
  }

  // Nothing is replaced yet, so a failure above or in the split's copies
  // leaves the previous file loaded.
  next.baseName = entry;
  next.currentFileName = fileName;
  next.fileLength = static_cast<std::int64_t>(bytes.size());
  next.buffer = FileBuffer(std::move(bytes));
  return true;
}

void Form1::Command1_Click() {
  if (!splitting_) TestEt();
}
void Form1::Command2_Click() {
  if (!splitting_) TxtYaz();
}
void Form1::List_MID_Click() { resetStrip(); }

void Form1::closeEvent(QCloseEvent* event) {
  // A running split writes its files first, then closes the window itself;
  // until then nobody is watching, so the window goes at once.
  if (splitting_) {
    closePending_ = true;
    hide();
    event->ignore();
    return;
  }
  event->accept();
  unload();
  // A window hidden during a split no longer counts as the last one to
  // close, so the event loop is told to end here.
  if (closePending_) QCoreApplication::quit();
}

void Form1::unload() {
  if (unloaded_) return;
  unloaded_ = true;
  if (Status failed = runLog_.save(platform_))
    platform_.messageBox(cannotWriteMessage("pars.bin", *failed) + " Eski kayıtlar olduğu gibi duruyor.");
}

QImage makeAppIcon() {
  QImage icon(64, 64, QImage::Format_ARGB32);
  icon.fill(Qt::transparent);
  QPainter p(&icon);
  p.setRenderHint(QPainter::Antialiasing);
  // An orange tile with a zipper running down it and a note head on top.
  p.setBrush(kBackground);
  p.setPen(QPen(QColor(120, 50, 0), 2));
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 237, 2));
  p.drawRect(QRectF(26, 6, 12, 52));
  p.setBrush(QColor(60, 60, 40));
  for (int y = 8; y < 56; y += 5) {
    p.drawRect(QRectF(y < 30 ? 24 : 28, y, y < 30 ? 4 : 8, 3));
    if (y < 30) p.drawRect(QRectF(36, y + 2, 4, 3));
  }
  p.drawRoundedRect(QRectF(27, 28, 10, 12), 2, 2);
  p.setBrush(Qt::black);
  p.drawEllipse(QRectF(6, 40, 14, 10));
  p.drawRect(QRectF(17, 14, 3, 31));
  return icon;
}

}  // namespace ezg
