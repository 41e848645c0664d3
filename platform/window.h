// The program's one window and its notification-area icon. The back end draws; the core decides
// (its MessageTarget gets every message first and calls DefaultHandling for what it passes on).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/window_messages.h"

namespace zarn::platform {

// The tool window: caption, a status text, a thin progress bar and a picture.
class MainWindow {
 public:
  static std::unique_ptr<MainWindow> Create(std::string_view caption, MessageTarget& target);
  virtual ~MainWindow() = default;

  virtual WindowId Id() const = 0;
  virtual void SetStatusText(std::string_view text) = 0;
  virtual void SetProgressVisible(bool visible) = 0;
  virtual void SetProgress(int position) = 0;  // 0..100
  virtual void Show() = 0;                     // show and bring to the front
  virtual void Hide() = 0;
  virtual bool Visible() const = 0;
  virtual void HideTaskbarButton() = 0;
  virtual void SetBusyCursor(bool busy) = 0;
  // The platform's own handling of a message the core passes on (minimise, close command...).
  virtual std::intptr_t DefaultHandling(const WindowMessage& message) = 0;
  // Queues a message for this window.
  virtual void Post(const WindowMessage& message) = 0;
  // The session is over and its log saved: where a window vanishes without a trace (a
  // terminal), leave the last status line and the log's path behind.
  virtual void LeaveSummary(std::string_view /*last_status*/, std::string_view /*log_path*/) {}
};

enum class NotifyIconOperation : std::uint32_t { kAdd = 0, kModify = 1, kDelete = 2 };

inline constexpr std::uint32_t kTrayCallbackMessage = kWmUser + 101;  // 1125
inline constexpr std::size_t kTrayTipLength = 63;

struct Point {
  int x = 0;
  int y = 0;
};

// The icon's hidden callback window and the calls to the shell's notification area.
class TrayIconHost {
 public:
  // The host's window receives kTrayCallbackMessage (and any other message) through target.
  static std::unique_ptr<TrayIconHost> Create(MessageTarget& target);
  virtual ~TrayIconHost() = default;

  virtual WindowId Id() const = 0;
  // Sends the icon record (the program's icon, tip cut to 63 characters) with the operation.
  virtual void Notify(NotifyIconOperation operation, std::string_view tip) = 0;
  virtual Point CursorPos() = 0;
  virtual std::intptr_t DefaultHandling(const WindowMessage& message) = 0;
};

}  // namespace zarn::platform
