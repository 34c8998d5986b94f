#include "app/form1.h"

#include "app/messages.h"
#include "files/midi_names.h"
#include "files/utf8_path.h"
#include "report/report.h"
#include "splitter/strip.h"

namespace ezg {

const std::array<ControlDesign, kControlCount - 1>& Form1::controls() {
  using C = Control;
  static const std::array<ControlDesign, kControlCount - 1> table{{
      {C::Command1, "Command1", C::Form1, false, {248, 400, 113, 29}, "TEST"},
      {C::Command2, "Command2", C::Form1, false, {248, 432, 113, 33}, "to TXT"},
      {C::Command3, "Command3", C::Form1, true, {56, 360, 113, 57}, "Start"},
      {C::Frame_MID, "Frame_MID", C::Form1, false, {8, 8, 201, 297}, ""},
      {C::List_MID, "List_MID", C::Frame_MID, true, {8, 16, 65, 104}, ""},
      {C::File_MID, "File_MID", C::Frame_MID, false, {32, 16, 25, 166}, ""},
      {C::Picture1, "Picture1", C::Form1, false, {304, 8, 52, 475}, ""},
      {C::Picture2, "Picture2", C::Form1, true, {288, 64, 50, 236}, ""},
  }};
  return table;
}

Form1::Form1(Platform& platform, View& view) : platform_(platform), view_(view) {
  state(Control::Form1).place = {0, 0, kClientWidth, kClientHeight};
  for (const ControlDesign& c : controls()) {
    state(c.control).place = c.place;
    state(c.control).visible = c.visible;
  }
}

const Place& Form1::placeOf(Control control) const { return controls_[static_cast<std::size_t>(control)].place; }

void Form1::move(Control control, const Place& where) {
  state(control).place = where;
  view_.place(control, where);
}

void Form1::show(Control control, bool visible) {
  state(control).visible = visible;
  view_.setVisible(control, visible);
}

void Form1::setBackColour(Control control, Colour colour) {
  state(control).backColour = colour;
  view_.setBackColour(control, colour);
}

bool Form1::startUp() {
  // Everything happens in the program's own folder.
  platform_.setCurrentFolder(platform_.programFolder());
  view_.setCaption("Ezgitar sürüm 5");
  const int found = midiListFill();
  if (const Status& failed = scanStatus_) {
    tell(cannotScanMessage(platform_.programFolder(), *failed));
    unload();
    return false;
  }
  if (found == 0) {
    tell("midi dosyalarınızı uygulama klasörüne taşıyın.");
    unload();
    return false;
  }

  // Exactly "pars.bin": another case of the same name counts as missing.
  if (platform_.lookUpPlainFile("pars.bin") != "pars.bin") {
    tell(" pars.bin dosyası bulunamadı.");
    unload();
    return false;
  }

  if (Status failed = runLog_.loadAndAppend(platform_, "pars.bin")) {
    tell(cannotReadMessage("pars.bin", *failed));
    unload();
    return false;
  }

  // The layout: each size follows from the frame just placed.
  move(Control::Frame_MID, {40, 32, 240, 240});
  setBackColour(Control::Frame_MID, state(Control::Form1).backColour);
  const Place frame = placeOf(Control::Frame_MID);
  // The list fills the frame less a 10-pixel margin on each side.
  Place list = placeOf(Control::List_MID);
  list.width = frame.width - 20;
  list.height = frame.height - 20;
  move(Control::List_MID, list);
  Place start = placeOf(Control::Command3);
  start.left = frame.left;
  start.width = frame.width;
  move(Control::Command3, start);
  Place strip = placeOf(Control::Picture2);
  strip.top = frame.top + 5;
  strip.height = frame.height - 5;
  move(Control::Picture2, strip);

  view_.copyStrip(kStripClosedRow, Repaint::WhenDue);

  show(Control::Frame_MID, true);
  noteNames_ = standardNoteNames();
  return true;
}

int Form1::midiListFill() {
  std::vector<std::string> names;
  scanStatus_ = platform_.scanFolder(std::string(kMidiPattern), names);
  File_MID_ = std::move(names);
  const int count = static_cast<int>(File_MID_.size());
  // Set by index: replace what is there, append past the end, and leave
  // entries beyond the new count alone.
  for (int i = 0; i < count; ++i) {
    std::string entry = baseNameOf(File_MID_[static_cast<std::size_t>(i)]);
    view_.setListEntry(i, entry);
    if (static_cast<std::size_t>(i) < listEntries_.size())
      listEntries_[static_cast<std::size_t>(i)] = std::move(entry);
    else
      listEntries_.push_back(std::move(entry));
  }
  return count;
}

void Form1::tell(const std::string& message) {
  // A file's name in it cannot send the terminal escape sequences or forge
  // a line.
  const std::string text = printable(message);
  if (closedBySignal_) {
    platform_.writeError(text);
    return;
  }
  boxUp_ = true;
  view_.messageBox(text);
  boxUp_ = false;
  // A signal's close ended the box: nobody may have read it.
  if (closedBySignal_) platform_.writeError(text);
}

void Form1::Command3_Click() {
  stopPlaying();
  // A split is pumping events: the running one keeps the loaded file.
  if (splitting_) return;
  view_.setPointer(Pointer::Hourglass);
  LoadedFile next;
  if (load(next)) MidiYaz(next);
  view_.setPointer(Pointer::Default);
}

bool Form1::load(LoadedFile& next) {
  const int index = view_.selectedIndex();
  const bool listed = index >= 0 && static_cast<std::size_t>(index) < listEntries_.size();
  const std::string entry = listed ? listEntries_[static_cast<std::size_t>(index)] : std::string();
  if (entry.empty()) {
    tell("Bir dosya seçin.");
    return false;
  }

  const std::string fileName = entry + ".mid";
  Bytes bytes;
  if (Status failed = platform_.readFile(fileName, bytes)) {
    tell(cannotReadMessage(fileName, *failed));
    return false;
  }
  if (bytes.empty()) {
    tell(fileName + " dosyası boş.");
    return false;
  }

  // Nothing is replaced yet, so a failure above or in the split's copies
  // leaves the previous file loaded.
  next.baseName = entry;
  next.currentFileName = fileName;
  next.buffer = FileBuffer(std::move(bytes));
  return true;
}

void Form1::Command1_Click() {
  if (!splitting_) TestEt();
}
void Form1::Command2_Click() {
  if (!splitting_) TxtYaz();
}
void Form1::List_MID_Click() {
  stopPlaying();
  view_.copyStrip(kStripClosedRow, Repaint::WhenDue);
}

void Form1::closeRequest(CloseFrom from) {
  if (from == CloseFrom::Signal) {
    closedBySignal_ = true;
    if (boxUp_) view_.endMessageBox();
  }
  if (unloading_) return;
  // A running split writes its files first, then unloads; until then nobody
  // is watching, so the window goes at once.
  if (splitting_) {
    closePending_ = true;
    show(Control::Form1, false);
    return;
  }
  unload();
}

void Form1::unload() {
  if (unloading_) return;
  unloading_ = true;
  stopPlaying();
  if (Status failed = runLog_.save(platform_))
    tell(cannotWriteMessage("pars.bin", *failed) + " Eski kayıtlar olduğu gibi duruyor.");
  view_.closeWindow();
}

}  // namespace ezg
