// The program's tool window: a status text, a thin progress bar and the program's icon on a
// fixed 302 x 69 client area, centred on the desktop and hidden until the core shows it. The
// program declares itself aware of the system's DPI, so it scales that layout itself.
#include "platform/window.h"

#include <string>

#include "platform/win32/window_class.h"

namespace zarn::platform {

namespace {

constexpr int kClientWidth = 302;
constexpr int kClientHeight = 69;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW;

// A length of the layout, made for 96 dots per inch, at the system's DPI; the menu font grows
// with it, and the controls and the client area grow alike.
int Scaled(int length) {
  static const int dpi = [] {
    const HDC screen = GetDC(nullptr);
    const int pixels = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return pixels > 0 ? pixels : 96;
  }();
  return MulDiv(length, dpi, 96);
}

// The font of the window and its controls: the system's menu font, released with the window.
class MenuFont {
 public:
  MenuFont() {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
      font_ = CreateFontIndirectA(&metrics.lfMenuFont);
    }
  }
  ~MenuFont() {
    if (font_ != nullptr) DeleteObject(font_);
  }
  MenuFont(const MenuFont&) = delete;
  MenuFont& operator=(const MenuFont&) = delete;

  HFONT Handle() const {
    return font_ != nullptr ? font_ : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }

 private:
  HFONT font_ = nullptr;
};

// Creates a child control of the window with its font, placed by the 96-DPI layout; the parent
// destroys it.
HWND CreateChild(HWND parent, const char* class_name, DWORD style, int x, int y, int width,
                 int height, HFONT font) {
  const HWND child =
      CreateWindowExA(0, class_name, "", WS_CHILD | style, Scaled(x), Scaled(y), Scaled(width),
                      Scaled(height), parent, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (child != nullptr) SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return child;
}

// The outer rectangle whose client area is 302 x 69 at 96 DPI, centred on the desktop.
RECT CentredFrame() {
  RECT frame{0, 0, Scaled(kClientWidth), Scaled(kClientHeight)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  return {x, y, x + width, y + height};
}

win32::WindowSettings MainWindowSettings(std::string_view caption) {
  const RECT frame = CentredFrame();
  win32::WindowSettings settings;
  settings.class_name = "ZarnUpdateWindow";
  settings.caption = std::string(caption);
  settings.style = kStyle;
  settings.ex_style = kExStyle;
  settings.x = frame.left;
  settings.y = frame.top;
  settings.width = frame.right - frame.left;
  settings.height = frame.bottom - frame.top;
  return settings;
}

class Win32MainWindow final : public MainWindow, private win32::WindowHandler {
 public:
  Win32MainWindow(std::string_view caption, MessageTarget& target)
      : target_(target), window_(MainWindowSettings(caption), *this) {
    const HWND hwnd = window_.Handle();
    if (hwnd == nullptr) return;
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), FALSE);
    status_ = CreateChild(hwnd, "STATIC", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 17, 9, 0, 0,
                          font_.Handle());
    progress_ = CreateChild(hwnd, PROGRESS_CLASSA, 0, 16, 39, 220, 9, font_.Handle());
    SendMessageA(progress_, PBM_SETRANGE32, 0, 100);
    image_ = CreateChild(hwnd, "STATIC", WS_VISIBLE | SS_ICON, 264, 32, 32, 32, font_.Handle());
    SendMessageA(image_, STM_SETICON, reinterpret_cast<WPARAM>(win32::ProgramIcon()), 0);
    win32::SetCurrentMainWindow(hwnd);
    // Only now: the controls' creation above sends the window messages of its own, and the core's
    // target is not ready for messages before Create has returned.
    window_.Route();
  }

  ~Win32MainWindow() override {
    if (win32::CurrentMainWindow() == window_.Handle()) win32::SetCurrentMainWindow(nullptr);
  }

  WindowId Id() const override { return reinterpret_cast<WindowId>(window_.Handle()); }

  void SetStatusText(std::string_view text) override {
    const std::string caption(text);
    SetWindowTextA(status_, caption.c_str());
    FitStatusToText(caption);
  }

  void SetProgressVisible(bool visible) override {
    ShowWindow(progress_, visible ? SW_SHOWNA : SW_HIDE);
  }

  void SetProgress(int position) override { SendMessageA(progress_, PBM_SETPOS, position, 0); }

  void Show() override {
    const HWND hwnd = window_.Handle();
    ShowWindow(hwnd, IsIconic(hwnd) ? SW_RESTORE : SW_SHOW);
    BringWindowToTop(hwnd);
    SetForegroundWindow(hwnd);
  }

  void Hide() override { ShowWindow(window_.Handle(), SW_HIDE); }

  bool Visible() const override { return IsWindowVisible(window_.Handle()) != FALSE; }

  void HideTaskbarButton() override {
    // An unowned tool window gets no taskbar button as long as it is not marked as an
    // application window; make sure of both styles.
    const HWND hwnd = window_.Handle();
    const LONG_PTR ex_style = GetWindowLongPtrA(hwnd, GWL_EXSTYLE);
    SetWindowLongPtrA(hwnd, GWL_EXSTYLE, (ex_style & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW);
  }

  void SetBusyCursor(bool busy) override {
    busy_ = busy;
    SetCursor(LoadCursorA(nullptr, busy ? IDC_WAIT : IDC_ARROW));
  }

  std::intptr_t DefaultHandling(const WindowMessage& message) override {
    const HWND hwnd = window_.Handle();
    if (message.message == WM_SETCURSOR && busy_ &&
        LOWORD(static_cast<DWORD>(message.lparam)) == HTCLIENT) {
      SetCursor(LoadCursorA(nullptr, IDC_WAIT));
      return TRUE;
    }
    return DefWindowProcA(hwnd, message.message, message.wparam, message.lparam);
  }

  void Post(const WindowMessage& message) override {
    PostMessageA(window_.Handle(), message.message, message.wparam, message.lparam);
  }

 private:
  LRESULT OnMessage(HWND, UINT message, WPARAM wparam, LPARAM lparam) override {
    return target_.HandleMessage({message, wparam, lparam});
  }

  // Sizes the status text to its caption, as an auto-sized label does.
  void FitStatusToText(const std::string& text) {
    const HDC dc = GetDC(status_);
    if (dc == nullptr) return;
    const HGDIOBJ previous = SelectObject(dc, font_.Handle());
    RECT extent{0, 0, 0, 0};
    DrawTextA(dc, text.empty() ? " " : text.c_str(), -1, &extent,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, previous);
    ReleaseDC(status_, dc);
    const int width = text.empty() ? 0 : extent.right - extent.left;
    SetWindowPos(status_, nullptr, 0, 0, width, extent.bottom - extent.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  MessageTarget& target_;
  MenuFont font_;
  win32::OwnedWindow window_;
  HWND status_ = nullptr;
  HWND progress_ = nullptr;
  HWND image_ = nullptr;
  bool busy_ = false;
};

void InitCommonControlsOnce() {
  static const bool done = [] {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_PROGRESS_CLASS;
    return InitCommonControlsEx(&controls) != FALSE;
  }();
  (void)done;
}

}  // namespace

std::unique_ptr<MainWindow> MainWindow::Create(std::string_view caption, MessageTarget& target) {
  InitCommonControlsOnce();
  return std::make_unique<Win32MainWindow>(caption, target);
}

}  // namespace zarn::platform
