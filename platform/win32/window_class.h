// Plumbing shared by the back end's windows: one window procedure that hands each message to the
// C++ object owning the window, the program's icon, and the current main window.
#pragma once

#include <string>

#include "platform/win32/windows_api.h"

namespace zarn::platform::win32 {

// The object behind a window. It receives every message from the moment its owner starts routing
// (at the end of the owner's construction); the messages before that, those of the window's and
// its controls' creation, get the default handling, since the object is not complete yet.
class WindowHandler {
 public:
  virtual LRESULT OnMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) = 0;

 protected:
  ~WindowHandler() = default;
};

struct WindowSettings {
  const char* class_name = nullptr;
  std::string caption;
  DWORD style = 0;
  DWORD ex_style = 0;
  int x = 0, y = 0, width = 0, height = 0;
  HWND parent = nullptr;
};

// A window destroyed with the object, unless it has already been destroyed otherwise (then the
// window procedure has forgotten it).
class OwnedWindow {
 public:
  OwnedWindow() = default;
  // Registers the class on first use and creates the window for handler; EOSError with the
  // system's error when the window cannot be created.
  OwnedWindow(const WindowSettings& settings, WindowHandler& handler);
  // From now on the window's messages go to the handler.
  void Route();
  ~OwnedWindow();
  OwnedWindow(const OwnedWindow&) = delete;
  OwnedWindow& operator=(const OwnedWindow&) = delete;

  HWND Handle() const { return handle_; }

 private:
  WindowHandler* handler_ = nullptr;
  HWND handle_ = nullptr;
};

// The program's own icon (the icon resource of the executable), or the system's application icon
// when the executable carries none. Shared: never destroyed by its users.
HICON ProgramIcon();

// The most recently created main window that still exists, or nullptr: the owner of message
// boxes and of started programs.
HWND CurrentMainWindow();
void SetCurrentMainWindow(HWND window);

}  // namespace zarn::platform::win32
