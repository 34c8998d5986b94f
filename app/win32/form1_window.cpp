#include "app/win32/form1_window.h"

#include <cmath>
#include <cstring>

#include "files/utf8_path.h"
#include "splitter/strip.h"

namespace ezg {
namespace {

constexpr const wchar_t* kFormClass = L"EzgitarForm1";
constexpr const wchar_t* kPanelClass = L"EzgitarPanel";  // the frame and the picture boxes
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// Child ids follow the tab order, clear of IDOK and IDCANCEL, which the
// dialog keys send.
constexpr int kFirstControlId = 100;
// The icon's number in ezgitar.rc.
constexpr int kAppIconId = 1;

COLORREF colourRef(Colour c) { return RGB(c.r, c.g, c.b); }

// Win32 hands handles and pointers over in the integer words of its calls
// and messages; here they turn back into what they are.
template <typename To, typename From>
To fromWord(From word) {
  return reinterpret_cast<To>(word);  // NOLINT(performance-no-int-to-ptr): the only way the API passes them
}

// Sizes in points, as the design gives them, at the screen's resolution;
// faces missing on the system are replaced by ones of the same kind.
HFONT designFont(const wchar_t* face, double points, bool bold) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  const int height = -MulDiv(static_cast<int>(std::lround(points * 100)), dpi, 7200);
  return CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, TURKISH_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
}

void registerClasses(HINSTANCE instance, WNDPROC proc) {
  WNDCLASSEXW form{};
  form.cbSize = sizeof form;
  form.lpfnWndProc = proc;
  form.hInstance = instance;
  form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  form.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  form.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  form.lpszClassName = kFormClass;
  RegisterClassExW(&form);

  WNDCLASSEXW panel = form;
  panel.hIcon = panel.hIconSm = nullptr;
  panel.lpszClassName = kPanelClass;
  RegisterClassExW(&panel);
}

// The strip image's bitmap file as a device-independent bitmap.
HBITMAP stripImageBitmap() {
  const auto file = stripBitmap();
  BITMAPINFO info{};
  std::memcpy(&info.bmiHeader, file.data() + sizeof(BITMAPFILEHEADER), sizeof(BITMAPINFOHEADER));
  BITMAPFILEHEADER header{};
  std::memcpy(&header, file.data(), sizeof header);
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (bitmap) std::memcpy(pixels, file.data() + header.bfOffBits, file.size() - header.bfOffBits);
  return bitmap;
}

BOOL CALLBACK closeBox(HWND hwnd, LPARAM) {
  wchar_t className[16] = {};
  GetClassNameW(hwnd, className, 16);
  if (std::wcscmp(className, L"#32770") == 0) PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
  return TRUE;
}

}  // namespace

Form1Window::Form1Window(Platform& platform, HINSTANCE instance) : form_(platform, *this) {
  registerClasses(instance, &Form1Window::windowProc);
  for (const Control c : {Control::Form1, Control::Frame_MID})
    backColours_[static_cast<std::size_t>(c)] = CreateSolidBrush(colourRef(Form1::kBackColour));

  RECT frame{0, 0, Form1::kClientWidth, Form1::kClientHeight};
  AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
  HWND form = CreateWindowExW(0, kFormClass, L"", kFormStyle, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                              frame.bottom - frame.top, nullptr, nullptr, instance, this);
  windows_[static_cast<std::size_t>(Control::Form1)] = form;

  buttonFont_ = designFont(L"MS Sans Serif", 18, true);
  listFont_ = designFont(L"MS Sans Serif", 12, true);
  fileListFont_ = designFont(L"Arial", 9.75, false);

  // Created in tab order, which is the order the Tab key follows.
  int id = kFirstControlId;
  for (const ControlDesign& c : Form1::controls()) {
    const wchar_t* windowClass = kPanelClass;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (c.visible ? WS_VISIBLE : 0);
    DWORD exStyle = 0;
    HFONT font = nullptr;
    switch (c.control) {
      case Control::Command1:
      case Control::Command2:
      case Control::Command3:
        windowClass = L"BUTTON";
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        font = buttonFont_;
        break;
      case Control::Frame_MID:
        // Tab moves on into the list it holds.
        style |= WS_CLIPCHILDREN;
        exStyle = WS_EX_CONTROLPARENT;
        break;
      case Control::List_MID:
        // Without LBS_NOINTEGRALHEIGHT the box would shrink to whole rows.
        windowClass = L"LISTBOX";
        style |= WS_TABSTOP | WS_VSCROLL | WS_BORDER | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
        font = listFont_;
        break;
      case Control::File_MID:
        windowClass = L"LISTBOX";
        style |= LBS_NOINTEGRALHEIGHT;
        font = fileListFont_;
        break;
      case Control::Picture1:
      case Control::Picture2:
      case Control::Form1: break;
    }
    HWND hwnd = CreateWindowExW(exStyle, windowClass, wideOf(c.caption).c_str(), style, c.place.left, c.place.top,
                                c.place.width, c.place.height, window(c.parent),
                                fromWord<HMENU>(static_cast<INT_PTR>(id++)), instance, this);
    if (font) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    windows_[static_cast<std::size_t>(c.control)] = hwnd;
  }

  HDC screen = GetDC(nullptr);
  stripImage_ = CreateCompatibleDC(screen);
  stripImageOld_ = SelectObject(stripImage_, stripImageBitmap());
  stripWindow_ = CreateCompatibleDC(screen);
  stripWindowOld_ = SelectObject(stripWindow_, CreateCompatibleBitmap(screen, 50, kStripWindowRows));
  ReleaseDC(nullptr, screen);
  // White until start-up shows the closed zipper.
  PatBlt(stripWindow_, 0, 0, 50, kStripWindowRows, WHITENESS);
}

Form1Window::~Form1Window() {
  if (window(Control::Form1)) DestroyWindow(window(Control::Form1));
  DeleteObject(SelectObject(stripImage_, stripImageOld_));
  DeleteDC(stripImage_);
  DeleteObject(SelectObject(stripWindow_, stripWindowOld_));
  DeleteDC(stripWindow_);
  for (HFONT font : {buttonFont_, listFont_, fileListFont_}) DeleteObject(font);
  for (HBRUSH brush : backColours_)
    if (brush) DeleteObject(brush);
}

int Form1Window::run() {
  ShowWindow(window(Control::Form1), SW_SHOWNORMAL);
  UpdateWindow(window(Control::Form1));
  // The first control in tab order that is shown: Start.
  focus_ = window(Control::Command3);
  SetFocus(focus_);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) dispatch(msg);
  return static_cast<int>(msg.wParam);
}

void Form1Window::dispatch(MSG& msg) {
  // The dialog keys: Tab and Shift+Tab between the controls.
  HWND form = window(Control::Form1);
  if (form && IsDialogMessageW(form, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

LRESULT CALLBACK Form1Window::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Form1Window*>(fromWord<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = fromWord<Form1Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->handle(hwnd, message, wParam, lParam);
}

LRESULT Form1Window::handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool isForm = hwnd == window(Control::Form1);
  switch (message) {
    case WM_COMMAND:
      // The frame passes on what its list says.
      if (lParam) onCommand(fromWord<HWND>(lParam), HIWORD(wParam));
      return 0;
    case WM_ERASEBKGND: {
      for (std::size_t i = 0; i < windows_.size(); ++i) {
        if (windows_[i] != hwnd || !backColours_[i]) continue;
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(fromWord<HDC>(wParam), &client, backColours_[i]);
      }
      return 1;  // the picture boxes paint every pixel themselves
    }
    case WM_PAINT:
      if (hwnd == window(Control::Picture2)) {
        paintStrip(hwnd);
        return 0;
      }
      break;
    case WM_SETCURSOR:
      if (hourglass_ && LOWORD(lParam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_ACTIVATE:
      // The control that had the focus gets it back when the window does.
      if (isForm && LOWORD(wParam) == WA_INACTIVE) {
        if (HWND had = GetFocus(); had && IsChild(hwnd, had)) focus_ = had;
      }
      break;
    case WM_SETFOCUS:
      if (isForm && focus_ && IsWindowVisible(focus_)) {
        SetFocus(focus_);
        return 0;
      }
      break;
    case WM_CLOSE:
      // Closing is Form1's to decide; its unload destroys the window.
      if (isForm && !closed_) form_.closeRequest(CloseFrom::User);
      return 0;
    case WM_QUERYENDSESSION: return TRUE;  // never refused
    case WM_ENDSESSION:
      // The session ends once this returns, and nobody is left to answer a
      // box: the run log is saved now; a running split finishes unpaced.
      if (isForm && wParam) form_.closeRequest(CloseFrom::Signal);
      return 0;
    case WM_DESTROY:
      if (isForm) PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      for (HWND& w : windows_)
        if (w == hwnd) w = nullptr;
      if (focus_ == hwnd) focus_ = nullptr;
      break;
    default: break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Form1Window::onCommand(HWND from, UINT code) {
  if (from == window(Control::List_MID)) {
    // A click or an arrow key that moves the selection; a double click
    // (LBS_NOTIFY sends it) plays the entry.
    if (code == LBN_SELCHANGE) form_.List_MID_Click();
    if (code == LBN_DBLCLK) form_.List_MID_DblClick();
    return;
  }
  if (code != BN_CLICKED) return;
  if (from == window(Control::Command1)) form_.Command1_Click();
  if (from == window(Control::Command2)) form_.Command2_Click();
  if (from == window(Control::Command3)) form_.Command3_Click();
}

void Form1Window::paintStrip(HWND hwnd) {
  PAINTSTRUCT paint;
  HDC screen = BeginPaint(hwnd, &paint);
  BitBlt(screen, 0, 0, 50, kStripWindowRows, stripWindow_, 0, 0, SRCCOPY);
  EndPaint(hwnd, &paint);
}

void Form1Window::setCaption(const std::string& text) { SetWindowTextW(window(Control::Form1), wideOf(text).c_str()); }

void Form1Window::place(Control control, const Place& where) {
  HWND hwnd = window(control);
  if (control == Control::Form1) {
    RECT frame{0, 0, where.width, where.height};
    AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
    SetWindowPos(hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    SetWindowPos(hwnd, nullptr, where.left, where.top, where.width, where.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void Form1Window::setVisible(Control control, bool visible) {
  ShowWindow(window(control), visible ? SW_SHOW : SW_HIDE);
}

void Form1Window::setBackColour(Control control, Colour colour) {
  HBRUSH& brush = backColours_[static_cast<std::size_t>(control)];
  if (brush) DeleteObject(brush);
  brush = CreateSolidBrush(colourRef(colour));
  InvalidateRect(window(control), nullptr, TRUE);
}

void Form1Window::setListEntry(int index, const std::string& name) {
  HWND list = window(Control::List_MID);
  const std::wstring text = wideOf(name);
  const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  if (index >= count) {
    SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
    return;
  }
  // Replaced in place: the selection stays where it was.
  const auto selected = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
  SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
  SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.c_str()));
  if (selected == index) SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Form1Window::selectedIndex() {
  return static_cast<int>(SendMessageW(window(Control::List_MID), LB_GETCURSEL, 0, 0));  // LB_ERR is -1
}

void Form1Window::copyStrip(int sourceRow, Repaint repaint) {
  BitBlt(stripWindow_, 0, 0, 50, kStripWindowRows, stripImage_, 0, sourceRow, SRCCOPY);
  HWND strip = window(Control::Picture2);
  InvalidateRect(strip, nullptr, FALSE);
  if (repaint == Repaint::Now) UpdateWindow(strip);
}

void Form1Window::setPointer(Pointer pointer) {
  hourglass_ = pointer == Pointer::Hourglass;
  SetCursor(LoadCursorW(nullptr, hourglass_ ? IDC_WAIT : IDC_ARROW));
}

void Form1Window::messageBox(const std::string& text) {
  // Owned by the window only once it is shown: at start-up nothing is.
  HWND form = window(Control::Form1);
  HWND owner = form && IsWindowVisible(form) ? form : nullptr;
  MessageBoxW(owner, wideOf(text).c_str(), kApplicationTitle, MB_OK);
}

void Form1Window::endMessageBox() { EnumThreadWindows(GetCurrentThreadId(), closeBox, 0); }

void Form1Window::pumpEvents() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    // The end of the program is for the outer loop to see.
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    dispatch(msg);
  }
}

void Form1Window::closeWindow() {
  if (closed_) return;
  closed_ = true;
  if (HWND form = window(Control::Form1)) DestroyWindow(form);
}

}  // namespace ezg
