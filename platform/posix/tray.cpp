// The notification-area icon on POSIX: the terminal view's status line stands for it, and
// SIGUSR1 stands for a double-click on it (it arrives as the icon's callback message).
#include <signal.h>

#include "platform/posix/event_loop.h"
#include "platform/posix/terminal_view.h"
#include "platform/window.h"

namespace zarn::platform {

namespace {

class TerminalTrayIcon final : public TrayIconHost {
 public:
  explicit TerminalTrayIcon(MessageTarget& target) : id_(posix::RegisterWindow(target)) {
    const WindowId id = id_;
    posix::WatchSignal(SIGUSR1, [id] {
      posix::PostToWindow(id, {kTrayCallbackMessage, 0, kWmLButtonDblClk});
    });
  }

  ~TerminalTrayIcon() override {
    posix::WatchSignal(SIGUSR1, nullptr);
    posix::UnregisterWindow(id_);
  }

  WindowId Id() const override { return id_; }

  void Notify(NotifyIconOperation operation, std::string_view) override {
    posix::TerminalView::Get().SetIconShown(operation != NotifyIconOperation::kDelete);
  }

  Point CursorPos() override { return {}; }
  std::intptr_t DefaultHandling(const WindowMessage&) override { return 0; }

 private:
  WindowId id_;
};

}  // namespace

std::unique_ptr<TrayIconHost> TrayIconHost::Create(MessageTarget& target) {
  return std::make_unique<TerminalTrayIcon>(target);
}

}  // namespace zarn::platform
