// The window procedure shared by the back end's windows, the program's icon and the record of the
// current main window.
#include "platform/win32/window_class.h"

#include "common/exception.h"
#include "platform/file_handles.h"

namespace zarn::platform::win32 {

namespace {

LRESULT CALLBACK RouteMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* handler = reinterpret_cast<WindowHandler*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (handler == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    // The window is gone after this message: its owner must not destroy it a second time.
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  }
  return handler->OnMessage(window, message, wparam, lparam);
}

void RegisterClassOnce(const char* class_name) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExA(instance, class_name, &existing)) return;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = RouteMessage;
  wc.hInstance = instance;
  wc.hIcon = ProgramIcon();
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = class_name;
  RegisterClassExA(&wc);
}

HWND g_main_window = nullptr;  // the application's main window, as the process knows it

}  // namespace

OwnedWindow::OwnedWindow(const WindowSettings& settings, WindowHandler& handler)
    : handler_(&handler) {
  RegisterClassOnce(settings.class_name);
  handle_ = CreateWindowExA(settings.ex_style, settings.class_name, settings.caption.c_str(),
                            settings.style, settings.x, settings.y, settings.width, settings.height,
                            settings.parent, nullptr, GetModuleHandleA(nullptr), nullptr);
  // Going on without a window would leave the program running with nothing to show or close.
  if (handle_ == nullptr) {
    const DWORD error = GetLastError();
    throw EOSError(error, SystemErrorText(error));
  }
}

void OwnedWindow::Route() {
  if (handle_ != nullptr) {
    SetWindowLongPtrA(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(handler_));
  }
}

OwnedWindow::~OwnedWindow() {
  if (handle_ == nullptr || !IsWindow(handle_)) return;
  if (GetWindowLongPtrA(handle_, GWLP_USERDATA) != reinterpret_cast<LONG_PTR>(handler_)) return;
  // The owner is going away: the messages of destruction get the default handling only.
  SetWindowLongPtrA(handle_, GWLP_USERDATA, 0);
  DestroyWindow(handle_);
}

HICON ProgramIcon() {
  const auto icon = static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON, 32, 32, LR_SHARED));
  return icon != nullptr ? icon : LoadIconA(nullptr, IDI_APPLICATION);
}

HWND CurrentMainWindow() {
  return IsWindow(g_main_window) ? g_main_window : nullptr;
}

void SetCurrentMainWindow(HWND window) {
  g_main_window = window;
}

}  // namespace zarn::platform::win32
