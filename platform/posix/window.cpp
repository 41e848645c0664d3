// The tool window on POSIX: its state lives in the terminal view. SIGINT and SIGTERM arrive as
// the window's close command, so the core treats them exactly like the close box.
#include "platform/window.h"

#include <signal.h>

#include "platform/posix/event_loop.h"
#include "platform/posix/terminal_view.h"

namespace zarn::platform {

namespace {

class TerminalWindow final : public MainWindow {
 public:
  explicit TerminalWindow(MessageTarget& target) : id_(posix::RegisterWindow(target)) {
    const WindowId id = id_;
    const auto close_command = [id] { posix::PostToWindow(id, {kWmSysCommand, kScClose, 0}); };
    posix::WatchSignal(SIGINT, close_command);
    posix::WatchSignal(SIGTERM, close_command);
  }

  ~TerminalWindow() override {
    posix::WatchSignal(SIGINT, nullptr);
    posix::WatchSignal(SIGTERM, nullptr);
    posix::TerminalView::Get().SetWindowShown(false);
    posix::UnregisterWindow(id_);
  }

  WindowId Id() const override { return id_; }
  void SetStatusText(std::string_view text) override { View().SetStatus(text); }
  void SetProgressVisible(bool visible) override { View().SetProgressVisible(visible); }
  void SetProgress(int position) override { View().SetProgress(position); }

  void Show() override {
    visible_ = true;
    View().SetWindowShown(true);
  }

  void Hide() override {
    visible_ = false;
    View().SetWindowShown(false);
  }

  bool Visible() const override { return visible_; }
  void HideTaskbarButton() override {}
  void SetBusyCursor(bool) override {}

  std::intptr_t DefaultHandling(const WindowMessage& message) override {
    if (message.message == kWmSysCommand) {
      if ((message.wparam & 0xFFF0) == kScClose) {
        return posix::SendToWindow(id_, {kWmClose, 0, 0});
      }
      if ((message.wparam & 0xFFF0) == kScMinimize) Hide();
    }
    return 0;
  }

  void Post(const WindowMessage& message) override { posix::PostToWindow(id_, message); }

  void LeaveSummary(std::string_view last_status, std::string_view log_path) override {
    View().LeaveSummary(last_status, log_path);
  }

 private:
  static posix::TerminalView& View() { return posix::TerminalView::Get(); }

  WindowId id_;
  bool visible_ = false;
};

}  // namespace

std::unique_ptr<MainWindow> MainWindow::Create(std::string_view, MessageTarget& target) {
  return std::make_unique<TerminalWindow>(target);
}

}  // namespace zarn::platform
