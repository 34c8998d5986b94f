#include "app/qt/form1_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFont>
#include <QMessageBox>
#include <QPainter>
#include <QShortcut>

#include "app/app_icon.h"
#include "app/qt/qt_platform.h"
#include "splitter/strip.h"

namespace ezg {
namespace {

QColor qColour(Colour c) { return QColor(c.r, c.g, c.b); }

// "MS Sans Serif" and "Arial" do not exist here; DejaVu Sans keeps the
// sizes, weights and every Turkish letter.
QFont designFont(double points, bool bold) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
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

Form1Window::Form1Window(Platform& platform) : form_(platform, *this) {
  setObjectName(QStringLiteral("Form1"));
  setFixedSize(Form1::kClientWidth, Form1::kClientHeight);
  setBackground(this, qColour(Form1::kBackColour));
  setWindowIcon(QIcon(QPixmap::fromImage(makeAppIcon())));

  widgets_[static_cast<std::size_t>(Control::Form1)] = this;
  for (const ControlDesign& c : Form1::controls()) {
    QWidget* parent = widget(c.parent);
    QWidget* w = nullptr;
    switch (c.control) {
      case Control::Command1: w = Command1 = new QPushButton(parent); break;
      case Control::Command2: w = Command2 = new QPushButton(parent); break;
      case Control::Command3: w = Command3 = new QPushButton(parent); break;
      case Control::Frame_MID: w = Frame_MID = new QFrame(parent); break;
      case Control::List_MID: w = List_MID = new QListWidget(parent); break;
      case Control::File_MID: w = File_MID = new QListWidget(parent); break;
      case Control::Picture1: w = Picture1 = new PictureBox(parent); break;
      case Control::Picture2: w = Picture2 = new PictureBox(parent); break;
      case Control::Form1: continue;
    }
    w->setObjectName(QString::fromLatin1(c.name));
    w->setGeometry(c.place.left, c.place.top, c.place.width, c.place.height);
    w->setVisible(c.visible);
    if (auto* button = qobject_cast<QPushButton*>(w)) {
      button->setText(QString::fromUtf8(c.caption));
      button->setFont(designFont(18, true));
    }
    widgets_[static_cast<std::size_t>(c.control)] = w;
  }
  // Controls are numbered in tab order.
  for (std::size_t i = 1; i + 1 < widgets_.size(); ++i) setTabOrder(widgets_[i], widgets_[i + 1]);

  // A plain frame without caption or shading: every pixel of it is the
  // window's colour.
  Frame_MID->setFrameStyle(QFrame::NoFrame | QFrame::Plain);
  List_MID->setFont(designFont(12, true));
  File_MID->setFont(designFont(9.75, false));
  // The strip image, converted to Picture2's pixel format so that each
  // copy is a plain row copy.
  const auto bmp = stripBitmap();
  Picture1->surface() =
      QImage::fromData(bmp.data(), static_cast<int>(bmp.size()), "BMP").convertToFormat(QImage::Format_RGB32);
  Picture2->surface() = QImage(50, 236, QImage::Format_RGB32);
  Picture2->surface().fill(Qt::white);

  connect(Command1, &QPushButton::clicked, this, [this] { form_.Command1_Click(); });
  connect(Command2, &QPushButton::clicked, this, [this] { form_.Command2_Click(); });
  connect(Command3, &QPushButton::clicked, this, [this] { form_.Command3_Click(); });
  // Arrow keys move the selection as a click does, and reset the strip the
  // same way; a click on the entry already selected resets it too.
  connect(List_MID, &QListWidget::itemSelectionChanged, this, [this] { form_.List_MID_Click(); });
  connect(List_MID, &QListWidget::itemClicked, this, [this] { form_.List_MID_Click(); });
  connect(List_MID, &QListWidget::itemDoubleClicked, this, [this] { form_.List_MID_DblClick(); });
}

QWidget* Form1Window::widget(Control control) { return widgets_.at(static_cast<std::size_t>(control)); }

void Form1Window::setCaption(const std::string& text) { setWindowTitle(QString::fromUtf8(text)); }

void Form1Window::place(Control control, const Place& where) {
  if (control == Control::Form1)
    setFixedSize(where.width, where.height);
  else
    widget(control)->setGeometry(where.left, where.top, where.width, where.height);
}

void Form1Window::setVisible(Control control, bool visible) {
  if (control == Control::Form1)
    QWidget::setVisible(visible);
  else
    widget(control)->setVisible(visible);
}

void Form1Window::setBackColour(Control control, Colour colour) { setBackground(widget(control), qColour(colour)); }

void Form1Window::setListEntry(int index, const std::string& name) {
  QListWidgetItem* item = List_MID->item(index);
  if (!item) {
    item = new QListWidgetItem;
    List_MID->addItem(item);
  }
  item->setText(displayName(name));
}

int Form1Window::selectedIndex() {
  // The current row is not the selection: Tab into the list makes a row
  // current without selecting it, and Ctrl+click deselects but stays current.
  const QModelIndexList rows = List_MID->selectionModel()->selectedIndexes();
  return rows.isEmpty() ? -1 : rows.front().row();
}

void Form1Window::copyStrip(int sourceRow, Repaint repaint) {
  {
    QPainter painter(&Picture2->surface());
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(0, 0), Picture1->surface(), QRect(0, sourceRow, 50, kStripWindowRows));
  }
  if (repaint == Repaint::Now)
    Picture2->repaint();
  else
    Picture2->update();
}

void Form1Window::setPointer(Pointer pointer) {
  if (pointer == Pointer::Hourglass)
    setCursor(Qt::WaitCursor);
  else
    unsetCursor();
}

void Form1Window::messageBox(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationName), QString::fromUtf8(text), QMessageBox::Ok,
                  this);
  // Ctrl+C copies the message, so a user can paste it into a report.
  const QShortcut copy(QKeySequence::Copy, &box, [&box] { QGuiApplication::clipboard()->setText(box.text()); });
  const QPointer<QMessageBox> outer = box_;
  box_ = &box;
  box.exec();
  box_ = outer;
}

void Form1Window::endMessageBox() {
  if (box_) box_->done(QMessageBox::Ok);
}

void Form1Window::pumpEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void Form1Window::closeWindow() {
  closed_ = true;
  close();
  // A window hidden during a split no longer counts as the last one to
  // close, so the event loop is told to end here.
  QCoreApplication::quit();
}

void Form1Window::closeEvent(QCloseEvent* event) {
  // Closing is Form1's to decide; its unload closes the window itself.
  if (!closed_) form_.closeRequest(CloseFrom::User);
  event->setAccepted(closed_);
}

QImage makeAppIcon() {
  const std::vector<std::uint32_t> pixels = appIconPixels();
  // Each pixel as 0xAARRGGBB is what Format_ARGB32 holds; copy() owns them.
  return QImage(reinterpret_cast<const uchar*>(pixels.data()), kAppIconSize, kAppIconSize, QImage::Format_ARGB32)
      .copy();
}

}  // namespace ezg
