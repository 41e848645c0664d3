// The notification-area icon: a hidden window receives the icon's callback messages (and every
// other message of its own) for the core, and the icon record goes to the shell.
#include <algorithm>
#include <cstring>

#include "platform/win32/notify_icon_record.h"
#include "platform/win32/window_class.h"
#include "platform/window.h"

namespace zarn::platform {

namespace win32 {

NotifyIconRecord MakeNotifyIconRecord(HWND window, HICON icon, std::string_view tip) {
  NotifyIconRecord record{};
  record.cbSize = sizeof record;
  record.hWnd = window;
  record.uID = 0;
  record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record.uCallbackMessage = kTrayCallbackMessage;
  record.hIcon = icon;
  const std::size_t length = std::min(tip.size(), kTrayTipLength);
  std::memcpy(record.szTip, tip.data(), length);
  record.szTip[length] = '\0';
  return record;
}

}  // namespace win32

namespace {

win32::WindowSettings CallbackWindowSettings() {
  // A hidden pop-up rather than a message-only window, so that it also hears the shell's
  // broadcasts.
  win32::WindowSettings settings;
  settings.class_name = "ZarnTrayIconWindow";
  settings.style = WS_POPUP;
  return settings;
}

class Win32TrayIconHost final : public TrayIconHost, private win32::WindowHandler {
 public:
  explicit Win32TrayIconHost(MessageTarget& target)
      : target_(target), window_(CallbackWindowSettings(), *this) {
    window_.Route();
  }

  // An icon still in the notification area would linger there until the mouse passes over it.
  ~Win32TrayIconHost() override {
    if (shown_) Notify(NotifyIconOperation::kDelete, "");
  }

  WindowId Id() const override { return reinterpret_cast<WindowId>(window_.Handle()); }

  void Notify(NotifyIconOperation operation, std::string_view tip) override {
    win32::NotifyIconRecord record =
        win32::MakeNotifyIconRecord(window_.Handle(), win32::ProgramIcon(), tip);
    // The shell reads the record by its size; the full structure begins with the same fields.
    Shell_NotifyIconA(static_cast<DWORD>(operation), reinterpret_cast<PNOTIFYICONDATAA>(&record));
    if (operation == NotifyIconOperation::kAdd) shown_ = true;
    if (operation == NotifyIconOperation::kDelete) shown_ = false;
  }

  Point CursorPos() override {
    POINT position{};
    GetCursorPos(&position);
    return {position.x, position.y};
  }

  std::intptr_t DefaultHandling(const WindowMessage& message) override {
    return DefWindowProcA(window_.Handle(), message.message, message.wparam, message.lparam);
  }

 private:
  LRESULT OnMessage(HWND, UINT message, WPARAM wparam, LPARAM lparam) override {
    return target_.HandleMessage({message, wparam, lparam});
  }

  MessageTarget& target_;
  win32::OwnedWindow window_;
  bool shown_ = false;
};

}  // namespace

std::unique_ptr<TrayIconHost> TrayIconHost::Create(MessageTarget& target) {
  return std::make_unique<Win32TrayIconHost>(target);
}

}  // namespace zarn::platform
